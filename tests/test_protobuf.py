"""The protobuf exchange: bytes written by to_protobuf as an independent peer reads them,
hand-made and malformed inputs for from_protobuf, round trips, and hostile shapes (deep
chains, shared sub-trees, mutated bytes)."""
import os
import random
import re
import struct

import pytest
from hypothesis import HealthCheck, example, given, settings
from hypothesis import strategies as st

import tarvex as tx
from conftest import custom, problem
from wire_schema import peer

U64 = (1 << 64) - 1
DECODE = "failed to decode the input buffer because "
UUID4 = re.compile(r"^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")


def read(obj):
    return peer.Header.FromString(tx.to_protobuf(obj))


def kind(node):
    return node.WhichOneof("kind")


# ---------------------------------------------------------------------------------------
# Hand-made messages, written by the peer.

def lit(v):
    if isinstance(v, float):
        return peer.ExprNode(number_lit=peer.NumberLit(type=1, value=struct.unpack("<Q", struct.pack("<d", v))[0]))
    return peer.ExprNode(number_lit=peer.NumberLit(type=2, value=v & U64))


def ph(name, ndim=0):
    return peer.ExprNode(placeholder=peer.Placeholder(name=name, ndim=ndim))


def unary(operand_id, kind=1):
    return peer.ExprNode(unary_op=peer.UnaryOp(kind=kind, operand_id=operand_id))


def binary(kind, left, right):
    return peer.ExprNode(binary_op=peer.BinaryOp(kind=kind, left_id=left, right_id=right))


def comm(kind, *terms):
    return peer.ExprNode(commutative_op=peer.CommutativeOp(kind=kind, term_ids=terms))


def var(type_, name, shape=(), lower=None, upper=None):
    v = peer.DecisionVar(type=type_, name=name, shape_ids=shape)
    if lower is not None:
        v.lower_bound.CopyFrom(peer.Bound(type=lower[0], bound_id=lower[1]))
    if upper is not None:
        v.upper_bound.CopyFrom(peer.Bound(type=upper[0], bound_id=upper[1]))
    return peer.ExprNode(decision_var=v)


def element_range(name, start, end):
    return peer.ExprNode(element=peer.Element(name=name, range=peer.Range(start_id=start, end_id=end)))


def expr(nodes, root=None):
    return peer.Expr(root_id=len(nodes) - 1 if root is None else root, expr_nodes=nodes)


def header(version=1, **body):
    return peer.Header(version=version, **body).SerializeToString()


def expr_body(nodes, root=None):
    return header(expr=expr(nodes, root))


def penalty_body(nodes, root=None):
    """The nodes as the term of a penalty term, where no condition fallback applies."""
    return header(custom_penalty_term=peer.CustomPenaltyTerm(name="t", term=expr(nodes, root)))


X = var(1, "x")  # a scalar binary variable, so that penalty terms and constraints are valid

# ---------------------------------------------------------------------------------------
# Writing


N = tx.Placeholder("N")
x = tx.BinaryVar("x", shape=(N,))
i = tx.Element("i", belong_to=N)


def test_shared_subtree_is_one_node():
    e = read(x[i] * x[i]).expr
    nodes, root = e.expr_nodes, e.expr_nodes[e.root_id]
    kinds = [kind(n) for n in nodes]
    assert (kinds.count("subscript"), kinds.count("element"), e.root_id) == (1, 1, len(nodes) - 1)
    assert kind(root) == "commutative_op" and root.commutative_op.kind == 2
    (t, u) = root.commutative_op.term_ids
    sub = nodes[t].subscript
    assert t == u and kind(nodes[t]) == "subscript"
    assert sub.type == 3 and nodes[sub.variable_id].decision_var.name == "x"


@pytest.mark.parametrize("obj, expected", [
    (lambda a: a + 2 * a ** 2, [(2, 2)]),                      # the literal 2 twice: one node
    (lambda a: a * 2 + a ** 2.0, [(2, 2), (1, 0x4000000000000000)]),  # 2 and 2.0 differ
    (lambda a: a - 1, [(2, U64)]),                             # -1: all 64 bits set
    (lambda a: a + 1.0, [(1, 0x3FF0000000000000)]),
])
def test_number_literals(obj, expected):
    nodes = read(obj(tx.Placeholder("a"))).expr.expr_nodes
    lits = sorted((n.number_lit.type, n.number_lit.value) for n in nodes if kind(n) == "number_lit")
    assert lits == sorted(expected)


def test_ids_are_new_uuids_and_nothing_else_changes():
    c = tx.Constraint("c", tx.sum(i, x[i]) <= N, forall=None)
    first, second = read(c), read(c)
    ids = [first.id, first.constraint.id, first.constraint.left.id, first.constraint.right.id,
           second.id, second.constraint.id]
    assert all(UUID4.match(s) for s in ids) and len(set(ids)) == len(ids)
    for h in (first, second):
        h.id = h.constraint.id = h.constraint.left.id = h.constraint.right.id = ""
    assert first == second and (first.version, first.constraint.sense) == (1, 2)
    forall = first.constraint.forall_list
    assert first.constraint.HasField("forall_list") and not forall.indices and not forall.expr_nodes


def test_variable_bounds():
    v = read(x).expr.expr_nodes[-1].decision_var
    assert v.type == 1 and not v.HasField("lower_bound") and not v.HasField("upper_bound")
    y = tx.IntegerVar("y", shape=(N,), lower_bound=0, upper_bound=tx.Placeholder("a", ndim=1))
    nodes = read(y).expr.expr_nodes
    v = nodes[-1].decision_var
    assert v.type == 2 and (v.lower_bound.type, v.upper_bound.type) == (1, 2)
    assert nodes[v.lower_bound.bound_id].number_lit.value == 0
    assert nodes[v.upper_bound.bound_id].placeholder.name == "a"


def test_forall_list_and_problem():
    j = tx.Element("j", belong_to=N)
    t = tx.CustomPenaltyTerm("t", x[i] * x[j], forall=[i, (j, j != i)])
    body = read(problem("p", tx.sum(i, x[i]), t, tx.Constraint("c", x[i] <= 1, forall=i),
                        sense=tx.ProblemSense.MAXIMIZE)).problem
    assert body.name == "p" and body.sense == 2 and set(body.constraints) == {"c"}
    forall = body.custom_penalty_terms["t"].forall_list
    assert [ix.HasField("condition_id") for ix in forall.indices] == [False, True]
    assert forall.expr_nodes[forall.indices[1].condition_id].binary_op.kind == 4  # !=
    assert forall.expr_nodes[forall.indices[0].element_id].element.name == "i"


@pytest.mark.parametrize("build, before, after", [
    (lambda a, b: custom(a + 1, "L") + 2, "a + 1 + 2", "a + 3"),
    (lambda a, b: custom(2 * a, "L") * 3, None, "6 * a"),
    (lambda a, b: custom(a + 0.5, "L") - 0.5, None, "a"),  # one term left: written alone
    (lambda a, b: custom(a + 1, "L") + b, None, "a + 1 + b"),
])
def test_custom_latex_sums_are_rebuilt(build, before, after):
    e = build(tx.Placeholder("a"), tx.Placeholder("b"))
    assert before is None or str(e) == before
    assert str(tx.from_protobuf(tx.to_protobuf(e))) == after


def test_wrong_argument_lists_every_attempt():
    with pytest.raises(TypeError, match="^argument 'obj': failed to extract enum SerializableObject") as err:
        tx.to_protobuf(object())
    for variant in ("Problem", "Constraint", "CustomPenaltyTerm", "Expression", "ConditionalExpr"):
        assert f"- variant {variant} ({variant})" in str(err.value)
    with pytest.raises(TypeError, match="^argument 'buf': "):
        tx.from_protobuf(bytearray(b""))


def test_dag_and_deep_tree_serialize_in_time():
    e = tx.Placeholder("a")
    for _ in range(60):
        e = tx.abs(e) + tx.abs(e)
    assert len(read(e).expr.expr_nodes) == 121  # 2^60 paths: walked per distinct node
    back = tx.from_protobuf(tx.to_protobuf(e))
    assert isinstance(back, tx.AddOp) and len(read(back).expr.expr_nodes) == 121
    deep = tx.Placeholder("a")
    for _ in range(10**6):
        deep = tx.abs(deep)
    # written as a million nodes, each the operand of the next: read back without recursion
    assert isinstance(tx.from_protobuf(tx.to_protobuf(deep)), tx.AbsOp)


# ---------------------------------------------------------------------------------------
# Reading: hand-made and malformed messages

ERR = tx.ProtobufDeserializationError
CASES = [
    ("empty buffer", b"", ERR, "the input schema has an unsupported version: 0. The minimum supported version "
                               "is 1. Please update the tarvex to generate the model."),
    ("version 2", header(version=2, expr=expr([ph("a")])), ERR,
     "the input schema has an unsupported version: 2. The maximum supported version is 1. Please update the "
     "tarvex to receive the model"),
    ("truncated", header(expr=expr([ph("a")]))[:-1], ERR, DECODE + "it did not contain a valid Protobuf message."),
    ("nested 101 deep", b"\x3b" * 101 + b"\x3c" * 101, ERR, DECODE + "it did not contain a valid Protobuf message."),
    ("bad utf-8", b"\x10\x01\x32\x07\x1a\x05\x12\x03\x0a\x01\xff", ERR,
     DECODE + "it did not contain a valid Protobuf message."),
    ("no body", header(), ERR, DECODE + "it did not contain a Problem message."),
    ("root out of range", expr_body([ph("a")], root=1), ERR,
     DECODE + "it contained the invalid ID of an expression node."),
    ("empty node", penalty_body([peer.ExprNode()]), ERR, DECODE + "it did not contain valid Protobuf message"),
    ("literal type", penalty_body([peer.ExprNode(number_lit=peer.NumberLit(type=3))]), ERR,
     DECODE + "it did not contain a Protobuf message according to the data type of a number literal."),
    ("variable type", penalty_body([var(6, "x")]), ERR,
     DECODE + "it did not contain valid DecisionVar Protobuf message"),
    ("no lower bound", penalty_body([lit(1), var(2, "y", upper=(1, 0))]), ERR,
     "the DecisionVar message does not contain the lower bound"),
    ("no upper bound", penalty_body([lit(1), var(2, "y", lower=(1, 0))]), ERR,
     "the DecisionVar message does not contain the upper bound"),
    ("bound not a placeholder", penalty_body([lit(1), var(3, "y", lower=(2, 0), upper=(1, 0))]), ERR,
     "invalid message: the bound is not a placeholder"),
    ("bound not subscripted", penalty_body([ph("a"), var(3, "y", lower=(3, 0), upper=(1, 0))]), ERR,
     "invalid message: the bound is not a subscripted placeholder"),
    ("bound type", penalty_body([lit(1), var(3, "y", lower=(4, 0), upper=(1, 0))]), ERR,
     DECODE + "it did not contain a Protobuf message according to the type of a decision variable bound."),
    ("bound id", penalty_body([lit(1), var(3, "y", lower=(1, 5), upper=(1, 0))]), ERR,
     "the DecisionVarBound message does not contain the id of the bound"),
    ("range start", penalty_body([lit(1), element_range("i", 7, 0)]), ERR,
     "the Expression message does not contain the id of the start of the range"),
    ("range end", penalty_body([lit(1), element_range("i", 0, 7)]), ERR,
     "the Expression message does not contain the id of the end of the range"),
    ("set of wrong kind", penalty_body([lit(1), peer.ExprNode(element=peer.Element(
        name="i", ndim=1, bound=peer.Bound(type=1, bound_id=0)))]), ERR, "invalid message"),
    ("subscript variable", penalty_body([lit(0), peer.ExprNode(subscript=peer.Subscript(variable_id=0,
                                                                                     subscript_ids=[0]))]),
     ERR, "Subscript message did not have a valid var id"),
    ("array id", penalty_body([peer.ExprNode(array_length=peer.ArrayLength(type=1, array_id=4))]), ERR,
     "the Expression message does not contain the id of the array"),
    ("unary operand", penalty_body([ph("a"), unary(9)]), ERR, "the Expression does not contain the id of the operand"),
    ("unary kind", penalty_body([X, unary(0, kind=7)]), ERR,
     DECODE + "it did not contain valid UnaryOp Protobuf message"),
    ("left id", penalty_body([X, binary(1, 9, 0)]), ERR,
     "the Expression message does not contain the id of the left hand side"),
    ("right id", penalty_body([X, binary(1, 0, 9)]), ERR,
     "the Expression message does not contain the id of the right hand side"),
    ("comparison as a term", penalty_body([X, binary(3, 0, 0), comm(1, 0, 1)]), ERR,
     DECODE + "it did not contain valid BinaryOp Protobuf message"),
    ("connective as a term", penalty_body([X, binary(3, 0, 0), comm(5, 1, 1), comm(1, 0, 2)]), ERR,
     DECODE + "it did not contain valid CommutativeOp Protobuf message"),
    ("expr body falls back to the condition builder", expr_body([ph("M", 2), unary(0)]), ERR,
     DECODE + "it did not contain valid Protobuf message"),
    ("comparison in a sum, expr body", expr_body([X, binary(3, 0, 0), comm(1, 0, 1)]), ERR,
     DECODE + "it contained an invalid op in a conditional expr (Commutative Op that is not a logical operator"),
    ("binary kind at root", expr_body([X, binary(9, 0, 0)]), ERR,
     DECODE + "it contained an invalid op in a conditional expr (BinaryOp that is not a logical operator"),
    ("reduction kind", penalty_body([peer.ExprNode(reduction_op=peer.ReductionOp(kind=3))]), ERR,
     DECODE + "it did not contain valid ReductionOp Protobuf message"),
    ("reduction without index", penalty_body([X, peer.ExprNode(reduction_op=peer.ReductionOp(kind=1))]), ERR,
     DECODE + "it did not contain valid Index Protobuf message"),
    ("index not an element", penalty_body([X, peer.ExprNode(reduction_op=peer.ReductionOp(
        kind=1, index=peer.Index(element_id=0)))]), ERR, "the Expression message does not contain the id of the index"),
    ("condition id", penalty_body([lit(0), lit(3), element_range("i", 0, 1), X, peer.ExprNode(
        reduction_op=peer.ReductionOp(kind=1, index=peer.Index(element_id=2, condition_id=8), operand_id=3))]), ERR,
     "the Expression message did not contain the id of the condition"),
    ("problem sense", header(problem=peer.Problem(name="p", objective_function=expr([lit(0)]))), ERR,
     DECODE + "it did not contain a Protobuf message according to a problem sense."),
    ("no objective", header(problem=peer.Problem(name="p", sense=1)), ERR,
     DECODE + "it did not contain a Protobuf message according to an objective function."),
    ("constraint sense", header(constraint=peer.Constraint(name="c", left=expr([X]), right=expr([lit(0)]))), ERR,
     DECODE + "it did not contain a Protobuf message according to a constraint equality."),
    ("constraint without right", header(constraint=peer.Constraint(name="c", sense=1, left=expr([X]))), ERR,
     DECODE + "it did not contain the right-hand side of a constraint."),
    ("penalty without term", header(custom_penalty_term=peer.CustomPenaltyTerm(name="t")), ERR,
     DECODE + "it did not contain the term of a custom penalty term."),
    ("forall index", header(custom_penalty_term=peer.CustomPenaltyTerm(
        name="t", term=expr([X]), forall_list=peer.ForallList(indices=[peer.Index(element_id=0)]))), ERR,
     "the Expression message does not contain the id of the index"),
    ("forall list too long", header(custom_penalty_term=peer.CustomPenaltyTerm(
        name="t", term=expr([X]), forall_list=peer.ForallList(
            indices=[peer.Index(element_id=k + 1) for k in range(1025)],
            expr_nodes=[lit(1)] + [element_range(f"e{k}", 0, 0) for k in range(1025)]))), ERR,
     DECODE + "it contained a forall list of more than 1024 indices"),
    # References must go to earlier nodes.
    ("self reference", penalty_body([unary(0)]), ERR, DECODE + "the node 0 refers to the node 0, which does not come "
                                                            "before it"),
    ("cycle", penalty_body([unary(1), unary(0)]), ERR, DECODE + "the node 0 refers to the node 1"),
    ("forward reference", penalty_body([unary(1), ph("a")], root=0), ERR, DECODE + "the node 0 refers to the node 1"),
    # The model's own checks, with the errors the Python surface gives.
    ("abs of a matrix", penalty_body([ph("M", 2), unary(0)]), tx.ModelingError,
     "the dimensionality of the Placeholder { name: M } must be zero, but is actually 2"),
    ("modulo by zero", penalty_body([ph("a"), lit(0), binary(2, 0, 1)]), ZeroDivisionError, "modulo by zero"),
    ("empty range", penalty_body([lit(3), element_range("i", 0, 0)]), ValueError,
     "`Range.start` (= 3) is equal to `Range.end` (= 3)"),
    ("unary over a variable", penalty_body([X, unary(0)]), tx.ModelingError,
     "the operand of the unary op contains a decision variable"),
    ("constraint without variable", header(constraint=peer.Constraint(name="c", sense=1, left=expr([lit(1)]),
                                                                       right=expr([lit(0)]))), tx.ModelingError,
     "expression does not contain a decision variable"),
    ("two variables named x", header(problem=peer.Problem(
        name="p", sense=1, objective_function=expr([X]),
        constraints={"c": peer.Constraint(name="c", sense=1, right=expr([lit(0)]),
                                          left=expr([lit(0), var(3, "x", lower=(1, 0), upper=(1, 0))]))})),
     tx.ModelingError, "Duplicated name -- different variables share the same name(s): x"),
]


@pytest.mark.parametrize("buf, exc, message", [c[1:] for c in CASES], ids=[c[0] for c in CASES])
def test_bad_input(buf, exc, message, capfd):
    with pytest.raises(exc) as err:
        tx.from_protobuf(buf)
    assert type(err.value) is exc and str(err.value).startswith(message)
    assert capfd.readouterr() == ("", "")  # the module logs nothing


@pytest.mark.parametrize("buf, expected, cls", [
    (expr_body([lit(-1)]), "-1", tx.NumberLit),
    (expr_body([lit(1.0)]), "1", tx.NumberLit),
    (expr_body([ph("a"), lit(1), binary(3, 0, 1)]), "a == 1", tx.EqualOp),
    (expr_body([ph("a"), lit(1), binary(3, 0, 1), binary(5, 0, 1), comm(6, 2, 3)]), "a == 1 or a < 1", tx.OrOp),
    (expr_body([ph("a"), lit(1), unary(0, 6), unary(0, 4), comm(3, 2, 3, 1)]), "min(ln(a), log2(a), 1)", tx.MinOp),
    (header(custom_penalty_term=peer.CustomPenaltyTerm(name="t", term=expr([X]))), None, tx.CustomPenaltyTerm),
    # A binary variable has fixed bounds: bounds written for one are not read, even broken ones.
    (expr_body([peer.ExprNode(), var(1, "b", lower=(1, 0), upper=(1, 0))]), "b", tx.BinaryVar),
])
def test_hand_made_messages(buf, expected, cls):
    obj = tx.from_protobuf(buf)
    assert type(obj) is cls and expected in (None, str(obj))


@pytest.mark.parametrize("body, cls", [
    (expr_body, tx.AddOp), (penalty_body, tx.CustomPenaltyTerm),
    (lambda nodes: header(problem=peer.Problem(name="p", sense=1, objective_function=expr(nodes))), tx.Problem),
    (lambda nodes: header(constraint=peer.Constraint(name="c", sense=2, left=expr(nodes), right=expr([lit(0)]))),
     tx.Constraint),
])
def test_shared_references_decode_in_linear_time(body, cls):
    nodes = [X] + [comm(1, k, k) for k in range(100)]  # 2**100 paths
    assert isinstance(tx.from_protobuf(body(nodes)), cls)  # built once per node; a walk per path would never end


@pytest.mark.parametrize("nodes, exc", [
    # Ten thousand array lengths of one scalar subscript with 10^5 entries, each of which
    # fails with a message holding that subscript: the first failure ends the decoding.
    ([ph("a", 10**5), lit(0), peer.ExprNode(subscript=peer.Subscript(variable_id=0, subscript_ids=[1] * 10**5))]
     + [peer.ExprNode(array_length=peer.ArrayLength(type=3, array_id=2))] * 10**4 + [comm(3, *range(3, 10**4 + 3))],
     tx.ModelingError),
    # Subscripts of subscripts flatten into one list: a chain would copy quadratically.
    ([ph("a", 10**5), lit(0)] + [peer.ExprNode(subscript=peer.Subscript(variable_id=k or 0, subscript_ids=[1]))
                                 for k in [0] + list(range(2, 10**5 + 1))], tx.ProtobufDeserializationError),
], ids=["many failing nodes", "chain of subscripts"])
def test_hostile_shapes_fail_fast(nodes, exc):
    with pytest.raises(exc):
        tx.from_protobuf(penalty_body(nodes))


# ---------------------------------------------------------------------------------------
# Mutated messages: a model or one of the documented errors, nothing else.

ALLOWED = (tx.ProtobufDeserializationError, tx.ModelingError, ValueError, ZeroDivisionError)


def seeds():
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=2)
    i = tx.Element("i", belong_to=N)
    j = tx.Element("j", belong_to=a[i])
    k = tx.Element("k", belong_to=(1, N))
    x = tx.IntegerVar("x", shape=(N, a.len_at(1)), lower_bound=0, upper_bound=a)
    y = tx.ContinuousVar("y", lower_bound=-1.5, upper_bound=N)
    cond = (i != 2) & (a[i, 0] >= 1)
    e = tx.sum((i, cond), tx.sum(j, x[i, j] * a[i, j])) + y ** 2 - tx.min(tx.ceil(N), N % 3)
    c = tx.Constraint("c", tx.sum(j, x[i, j]) <= a[i, 0], forall=[i])
    t = tx.CustomPenaltyTerm("t", (y - k) ** 2, forall=[(k, k < N)])
    return [tx.to_protobuf(o) for o in (problem("p", e, c, t), c, t, e, cond, tx.prod(k, tx.log10(k) / N))]


def mutate(rng, buf, others):
    b = bytearray(buf)
    for _ in range(rng.randint(1, 3)):
        op = rng.randrange(5)
        pos = rng.randrange(len(b) + 1)
        if op == 0 and b:
            b[pos % len(b)] ^= 1 << rng.randrange(8)
        elif op == 1 and b:
            del b[pos % len(b):pos % len(b) + rng.randint(1, 4)]
        elif op == 2:
            b[pos:pos] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 3)))
        elif op == 3:
            n = rng.randint(1, 16)
            b[pos:pos] = b[pos:pos + n]
        else:
            other = rng.choice(others)
            s = rng.randrange(len(other))
            b[pos:pos] = other[s:s + rng.randint(1, 40)]
    return bytes(b)


def run_mutations(rng, bufs, count):
    outcomes = {"model": 0, "error": 0}
    for n in range(count):
        try:
            obj = tx.from_protobuf(mutate(rng, bufs[n % len(bufs)], bufs))
        except ALLOWED:
            outcomes["error"] += 1
        else:
            str(obj)
            outcomes["model"] += 1
    return outcomes


def rss_kib():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * 4


def test_mutated_messages():
    bufs = seeds()
    for b in bufs:
        tx.from_protobuf(b)
    outcomes = run_mutations(random.Random(7), bufs, 3000)
    assert outcomes["model"] > 100 and outcomes["error"] > 100
    if os.environ.get("TARVEX_SANITIZED"):
        return  # the sanitizer holds freed memory in quarantine: RSS tells nothing about leaks there
    before = rss_kib()
    for seed in range(3):
        run_mutations(random.Random(seed), bufs, 3000)
    assert rss_kib() - before < 4096  # a lost message per call would be several MiB


# ---------------------------------------------------------------------------------------
# Round trips of random models built through the Python surface


def pool():
    N = tx.Placeholder("N")
    a = tx.Placeholder("a", ndim=1)
    i = tx.Element("i", belong_to=N)
    j = tx.Element("j", belong_to=(2, N))
    x = tx.BinaryVar("x", shape=(N,))
    y = tx.IntegerVar("y", lower_bound=-1, upper_bound=a, shape=[N])
    z = tx.ContinuousVar("z", lower_bound=0, upper_bound=1.5)
    return [N, i, j, z, x[i], y[j], a[i], a.len_at(0), 2, 3.5, -1]


OPS = [
    lambda p, q: p + q, lambda p, q: p - q, lambda p, q: p * q, lambda p, q: p / q, lambda p, q: p % q,
    lambda p, q: p ** q, lambda p, q: tx.abs(p), lambda p, q: tx.floor(p), lambda p, q: tx.max(p, q, 1),
    lambda p, q: tx.sum(q, p), lambda p, q: tx.prod((q, q != 1), p), lambda p, q: p == q,
    lambda p, q: p <= q, lambda p, q: (p < q) & (q != 0), lambda p, q: (p > q) ^ (p >= 1),
    lambda p, q: tx.Constraint("c", p >= q, forall=list(tx.extract_nodes(p - q, tx.Element))),
    lambda p, q: tx.CustomPenaltyTerm("t", p * q, forall=list(tx.extract_nodes(p * q, tx.Element))),
]


def texts(o):
    if isinstance(o, tx.Problem):
        return (o.name, o.sense, str(o.objective),
                *({k: str(v) for k, v in d.items()} for d in (o.constraints, o.custom_penalty_terms)))
    return str(o)


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.lists(st.tuples(st.integers(0, 99), st.integers(0, 99), st.integers(0, 99), st.booleans()),
                max_size=10))
@example([(0, 0, 0, False)] * 3 + [(0, 0, 64, True), (1, 44, 53, False)])  # a custom sum folds to one term
def test_round_trip(steps):
    objects = [(o, False) for o in pool()]
    problem = tx.Problem("p")
    errors = (tx.ModelingError, TypeError, ValueError, ZeroDivisionError)
    for f, p, q, mark in steps:
        (left, lx), (right, rx) = objects[p % len(objects)], objects[q % len(objects)]
        try:
            out = OPS[f % len(OPS)](left, right)
        except errors:
            continue
        mark = mark and isinstance(out, (tx.AddOp, tx.MulOp))
        objects.append((custom(out, "L") if mark else out, lx or rx or mark))
        try:
            problem += out
        except errors:
            pass
    for obj, rebuilt in objects + [(problem, True)]:
        if type(obj).__module__ != "tarvex":  # plain Python numbers
            continue
        buf = tx.to_protobuf(obj)
        back = tx.from_protobuf(buf)
        if not rebuilt:
            assert type(back) is type(obj)
            assert texts(back) == texts(obj)
            if not isinstance(obj, tx.Problem):
                assert tx.is_same(back, obj)
        else:  # literals of custom-LaTeX sums may have folded (even to one term, of another
            # class); writing again changes nothing
            assert texts(tx.from_protobuf(tx.to_protobuf(back))) == texts(back)
            assert isinstance(back, tx.Problem) == isinstance(obj, tx.Problem)
        h = peer.Header.FromString(buf)
        body = getattr(h, h.WhichOneof("body"))
        exprs = [body] if isinstance(body, peer.Expr) else [
            f for f in (getattr(body, n, None) for n in ("left", "right", "term")) if f is not None]
        for e in exprs:
            nodes = [n.SerializeToString() for n in e.expr_nodes]
            assert len(set(nodes)) == len(nodes) and e.root_id == len(nodes) - 1
