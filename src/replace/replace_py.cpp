// The module functions replace and is_same.
#include <optional>
#include <string>

#include "lib/registry_py.hpp"
#include "model/expression/operand/dummy_indexed_var_py.hpp"
#include "model/expression/operator/operator_py.hpp"
#include "model/model_py.hpp"
#include "replace/equality.hpp"
#include "replace/replace.hpp"

namespace tarvex::py {
namespace {

// ---------------------------------------------------------------------------------------
// replace

// A Python exception raised by the replacer, kept while the error travels back through
// the core and restored at the boundary.
class PendingException {
 public:
  PendingException() = default;
  PendingException(const PendingException&) = delete;
  PendingException& operator=(const PendingException&) = delete;
  ~PendingException() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(tb_);
  }

  // Takes the exception that is set; the error value stands for it in the core.
  Error fetch() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(tb_);
    PyErr_Fetch(&type_, &value_, &tb_);
    return internal_error("the replacer raised an exception");
  }
  bool held() const { return type_ != nullptr; }
  std::nullptr_t restore() {
    PyErr_Restore(type_, value_, tb_);
    type_ = value_ = tb_ = nullptr;
    return nullptr;
  }

 private:
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* tb_ = nullptr;
};

// The replacer's result where an array operand stood (the operand of a subscript or of
// an array length): a decision variable of any shape, or a placeholder, element or
// subscript of any dimensionality; anything else as a scalar expression.
Result<Expression> to_array_operand(PyObject* o) {
  if (auto v = to_decision_var(o)) return v;
  for (ClassId id : {ClassId::Placeholder, ClassId::Element, ClassId::Subscript})
    if (is_instance(o, id) && expr_holder(o).expr()) return expr_holder(o).expr();
  return to_expression(o);
}

PyObject* replace_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"expr", "replacer", nullptr};
    PyObject* expr_arg = nullptr;
    PyObject* replacer = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "OO:replace", kw, &expr_arg, &replacer)) return nullptr;
    Expression expr;
    if (!argument_expression(expr_arg, "expr", expr)) return nullptr;
    if (!PyCallable_Check(replacer)) return raise_argument("replacer", ErrorKind::Type, "replacer must be callable");

    PendingException pending;
    Replacer call = [&](const Expression& node) -> Result<Expression> {
      nb::object arg = nb::steal(from_node(node));
      if (!arg) return pending.fetch();
      nb::object result = nb::steal(PyObject_CallOneArg(replacer, arg.ptr()));
      if (!result) return pending.fetch();
      return node.ndim() == 0 ? to_expression(result.ptr()) : to_array_operand(result.ptr());
    };
    auto replaced = replace(expr, call);
    if (pending.held()) return pending.restore();
    return result_object(replaced);
  });
}

// ---------------------------------------------------------------------------------------
// is_same

// The classes is_same compares, found by exact type first, then as subclasses.
constexpr ClassId kComparable[] = {
    ClassId::NumberLit,     ClassId::Placeholder,       ClassId::Range,          ClassId::Element,
    ClassId::Subscript,     ClassId::ArrayLength,       ClassId::DummyIndexedVar, ClassId::BinaryVar,
    ClassId::IntegerVar,    ClassId::ContinuousVar,     ClassId::SemiIntegerVar, ClassId::SemiContinuousVar,
    ClassId::AbsOp,         ClassId::CeilOp,            ClassId::FloorOp,        ClassId::Log2Op,
    ClassId::Log10Op,       ClassId::LnOp,              ClassId::AddOp,          ClassId::MulOp,
    ClassId::ModOp,         ClassId::MinOp,             ClassId::MaxOp,          ClassId::PowOp,
    ClassId::SumOp,         ClassId::ProdOp,            ClassId::AndOp,          ClassId::OrOp,
    ClassId::XorOp,         ClassId::EqualOp,           ClassId::NotEqualOp,     ClassId::LessThanOp,
    ClassId::LessThanEqualOp, ClassId::GreaterThanOp,   ClassId::GreaterThanEqualOp,
    ClassId::Constraint,    ClassId::CustomPenaltyTerm,
};

std::optional<ClassId> comparable_class(PyObject* o) {
  for (ClassId id : kComparable)
    if (type_of(id) == Py_TYPE(o)) return id;
  for (ClassId id : kComparable)
    if (is_instance(o, id)) return id;
  return std::nullopt;
}

bool is_condition_class(ClassId id) { return id >= ClassId::AndOp && id <= ClassId::GreaterThanEqualOp; }


constexpr Decorations kIgnore = Decorations::Ignore;

bool same_list(std::span<const Expression> a, std::span<const Expression> b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!equal(a[i], b[i], kIgnore)) return false;
  return true;
}

bool same_forall(const ForallList& a, const ForallList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!equal(a[i].element, b[i].element, kIgnore) || !equal(a[i].condition, b[i].condition, kIgnore))
      return false;
  return true;
}

// The ends of a Range object, read through its getters.
Result<Range> range_of(PyObject* o) {
  Range r;
  for (auto [attr, end] : {std::pair{"start", &r.start}, std::pair{"end", &r.end}}) {
    nb::object v = nb::steal(PyObject_GetAttrString(o, attr));
    if (!v) {
      PyErr_Clear();
      return internal_error("a Range object without its ends");
    }
    TX_TRY(*end, to_expression(v.ptr()));
  }
  return r;
}

// Whether two objects of class `id` are the same model value.
Result<bool> same(ClassId id, PyObject* src, PyObject* dst) {
  if (is_condition_class(id)) return equal(cond_holder(src).cond(), cond_holder(dst).cond(), kIgnore);
  switch (id) {
    case ClassId::Range: {
      TX_TRY(Range a, range_of(src));
      TX_TRY(Range b, range_of(dst));
      return equal(a.start, b.start, kIgnore) && equal(a.end, b.end, kIgnore);
    }
    case ClassId::DummyIndexedVar: {
      const DummyIndexedVar* a = as_dummy_indexed_var(src);
      const DummyIndexedVar* b = as_dummy_indexed_var(dst);
      return equal(a->variable, b->variable, kIgnore) && same_list(a->subscripts, b->subscripts) &&
             same_list(a->elements, b->elements);
    }
    case ClassId::Constraint: {
      const Constraint* a = as_constraint(src);
      const Constraint* b = as_constraint(dst);
      return a->name == b->name && a->sense == b->sense && equal(a->left, b->left, kIgnore) &&
             equal(a->right, b->right, kIgnore) && same_forall(a->forall, b->forall);
    }
    case ClassId::CustomPenaltyTerm: {
      const CustomPenaltyTerm* a = as_custom_penalty_term(src);
      const CustomPenaltyTerm* b = as_custom_penalty_term(dst);
      return a->name == b->name && equal(a->expression, b->expression, kIgnore) && same_forall(a->forall, b->forall);
    }
    default: return equal(expr_holder(src).expr(), expr_holder(dst).expr(), kIgnore);
  }
}

PyObject* is_same_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    static const char* const kw[] = {"src", "dst", nullptr};
    PyObject* src = nullptr;
    PyObject* dst = nullptr;
    if (!parse_fast_args(args, nargs, kwnames, "OO:is_same", kw, &src, &dst)) return nullptr;
    const std::optional<ClassId> a = comparable_class(src);
    const std::optional<ClassId> b = comparable_class(dst);
    if (!a || !b || *a != *b)
      return raise(type_error("the type of src (= " + type_name(Py_TYPE(src)) + ") is different from the type of dst (= " +
                              type_name(Py_TYPE(dst)) + "), or one of them is unsupported type"));
    auto r = same(*a, src, dst);
    if (!r) return raise(r.error());
    return PyBool_FromLong(*r);
  });
}

}  // namespace

PyMethodDef* replace_function() {
  static PyMethodDef def = TX_FUNCTION("replace", replace_fn,
                                         "replace(expr, replacer)\n--\n\n"
                            "A copy of the expression rewritten top-down by `replacer`, which is called with "
                            "each node and returns its substitute. Number literals, placeholders, elements and "
                            "decision variables become what the replacer returns. Any other node that the "
                            "replacer returns unchanged is opened: its operands are replaced in turn and the node "
                            "is rebuilt from them with the checks of its operator. An exception raised by the "
                            "replacer ends the replacement.");
  return &def;
}

PyMethodDef* is_same_function() {
  static PyMethodDef def = TX_FUNCTION("is_same", is_same_fn,
                                         "is_same(src, dst)\n--\n\n"
                            "Whether two expressions, conditions, ranges, dummy indexed variables, constraints "
                            "or custom penalty terms are structurally the same, ignoring custom LaTeX strings "
                            "and descriptions.");
  return &def;
}

}  // namespace tarvex::py
