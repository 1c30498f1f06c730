"""An independent reader and writer of the exchange format, built with the official protobuf
package from the message tables alone (not from the module's .proto file).

Enum fields are declared as int32, which is what they are on the wire; this lets tests write
out-of-range kinds. `peer.Header` etc. are ordinary generated message classes.
"""
from types import SimpleNamespace

from google.protobuf import descriptor_pb2, descriptor_pool, message_factory

F = descriptor_pb2.FieldDescriptorProto
SCALARS = {"string": F.TYPE_STRING, "uint64": F.TYPE_UINT64, "int32": F.TYPE_INT32}
ENUM = "int32"

# message -> [(field, number, type, label)], label: "" | "repeated" | "optional" |
# "oneof:<name>" | "map" (type then names the value message; keys are strings).
TABLES = {
    "Header": [("id", 1, "string", ""), ("version", 2, "uint64", ""),
               ("problem", 3, "Problem", "oneof:body"), ("constraint", 4, "Constraint", "oneof:body"),
               ("custom_penalty_term", 5, "CustomPenaltyTerm", "oneof:body"), ("expr", 6, "Expr", "oneof:body")],
    "Problem": [("id", 1, "string", ""), ("name", 2, "string", ""), ("sense", 3, ENUM, ""),
                ("objective_function", 4, "Expr", ""), ("constraints", 5, "Constraint", "map"),
                ("custom_penalty_terms", 6, "CustomPenaltyTerm", "map")],
    "Constraint": [("id", 1, "string", ""), ("name", 2, "string", ""), ("sense", 3, ENUM, ""),
                   ("left", 4, "Expr", ""), ("right", 5, "Expr", ""), ("forall_list", 6, "ForallList", "")],
    "CustomPenaltyTerm": [("id", 1, "string", ""), ("name", 2, "string", ""), ("term", 3, "Expr", ""),
                          ("forall_list", 4, "ForallList", "")],
    "Expr": [("id", 1, "string", ""), ("root_id", 2, "uint64", ""), ("expr_nodes", 3, "ExprNode", "repeated")],
    "ForallList": [("indices", 1, "Index", "repeated"), ("expr_nodes", 2, "ExprNode", "repeated")],
    "Index": [("element_id", 1, "uint64", ""), ("condition_id", 2, "uint64", "optional")],
    "ExprNode": [(name, number, msg, "oneof:kind") for number, (name, msg) in enumerate([
        ("number_lit", "NumberLit"), ("placeholder", "Placeholder"), ("decision_var", "DecisionVar"),
        ("array_length", "ArrayLength"), ("unary_op", "UnaryOp"), ("binary_op", "BinaryOp"),
        ("commutative_op", "CommutativeOp"), ("element", "Element"), ("subscript", "Subscript"),
        ("reduction_op", "ReductionOp")], start=1)],
    "NumberLit": [("type", 1, ENUM, ""), ("value", 2, "uint64", "")],
    "Placeholder": [("name", 1, "string", ""), ("ndim", 2, "uint64", "")],
    "Element": [("name", 1, "string", ""), ("ndim", 2, "uint64", ""), ("bound", 3, "Bound", "oneof:belong_to"),
                ("range", 4, "Range", "oneof:belong_to")],
    "Range": [("start_id", 1, "uint64", ""), ("end_id", 2, "uint64", "")],
    "Bound": [("type", 1, "int32", ""), ("bound_id", 2, "uint64", "")],
    "DecisionVar": [("type", 1, ENUM, ""), ("name", 2, "string", ""), ("shape_ids", 3, "uint64", "repeated"),
                    ("lower_bound", 4, "Bound", ""), ("upper_bound", 5, "Bound", "")],
    "ArrayLength": [("type", 1, ENUM, ""), ("array_id", 2, "uint64", ""), ("axis", 3, "uint64", "")],
    "Subscript": [("ndim", 1, "uint64", ""), ("type", 2, ENUM, ""), ("variable_id", 3, "uint64", ""),
                  ("subscript_ids", 4, "uint64", "repeated")],
    "UnaryOp": [("kind", 1, ENUM, ""), ("operand_id", 2, "uint64", "")],
    "BinaryOp": [("kind", 1, ENUM, ""), ("left_id", 2, "uint64", ""), ("right_id", 3, "uint64", "")],
    "CommutativeOp": [("kind", 1, ENUM, ""), ("term_ids", 2, "uint64", "repeated")],
    "ReductionOp": [("kind", 1, ENUM, ""), ("index", 2, "Index", ""), ("operand_id", 3, "uint64", "")],
}


def _field(msg, name, number, type_, kind=F.LABEL_OPTIONAL):
    f = msg.field.add(name=name, number=number, label=kind)
    if type_ in SCALARS:
        f.type = SCALARS[type_]
    else:
        f.type = F.TYPE_MESSAGE
        f.type_name = type_
    return f


def _build():
    fd = descriptor_pb2.FileDescriptorProto(name="peer/exchange.proto", package="peer", syntax="proto3")
    for message, fields in TABLES.items():
        msg = fd.message_type.add(name=message)
        oneofs = {}
        for name, number, type_, label in fields:
            if label == "map":
                entry_name = "".join(p.title() for p in name.split("_")) + "Entry"
                entry = msg.nested_type.add(name=entry_name)
                entry.options.map_entry = True
                _field(entry, "key", 1, "string")
                _field(entry, "value", 2, f".peer.{type_}")
                _field(msg, name, number, f".peer.{message}.{entry_name}", F.LABEL_REPEATED)
                continue
            t = type_ if type_ in SCALARS else f".peer.{type_}"
            f = _field(msg, name, number, t, F.LABEL_REPEATED if label == "repeated" else F.LABEL_OPTIONAL)
            if label.startswith("oneof:") or label == "optional":
                oneof = label[6:] if label != "optional" else f"_{name}"
                if oneof not in oneofs:
                    oneofs[oneof] = len(msg.oneof_decl)
                    msg.oneof_decl.add(name=oneof)
                f.oneof_index = oneofs[oneof]
                if label == "optional":
                    f.proto3_optional = True
    pool = descriptor_pool.DescriptorPool()
    pool.Add(fd)
    return SimpleNamespace(**{m: message_factory.GetMessageClass(pool.FindMessageTypeByName(f"peer.{m}"))
                              for m in TABLES})


peer = _build()
