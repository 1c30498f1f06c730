#include "lib/arithmetic_py.hpp"

#include "lib/convert_py.hpp"
#include "model/expression/operator/arithmetic.hpp"
#include "model/expression/operator/comparison_op/comparison_op.hpp"

namespace tarvex::py {
namespace {

using CoreOp = Result<Expression> (*)(const Expression&, const Expression&);

// Whether `o`'s class provides `fn` in the given slot, i.e. whether `o` is the receiver.
template <class Fn>
bool receives(PyObject* o, Fn PyNumberMethods::*member, Fn fn) {
  PyNumberMethods* nm = Py_TYPE(o)->tp_as_number;
  return nm && nm->*member == fn;
}

// Converts the receiver, then the other operand; the pair comes back in written order.
bool operands(PyObject* a, PyObject* b, bool a_receives, Expression& left, Expression& right) {
  auto first = to_expression(a_receives ? a : b);
  if (!first) return raise(first.error()), false;
  auto second = to_expression(a_receives ? b : a);
  if (!second) return raise(second.error()), false;
  left = a_receives ? std::move(first).value() : std::move(second).value();
  right = a_receives ? std::move(second).value() : std::move(first).value();
  return true;
}

template <binaryfunc PyNumberMethods::*Member, CoreOp Op>
PyObject* arithmetic(PyObject* a, PyObject* b);

template <binaryfunc PyNumberMethods::*Member, CoreOp Op>
PyObject* general_arithmetic(PyObject* a, PyObject* b) {
  Expression left, right;
  if (!(quick_expression(a, left) && quick_expression(b, right)) &&
      !operands(a, b, receives(a, Member, &arithmetic<Member, Op>), left, right))
    return nullptr;
  return result_object(Op(left, right));
}

// `a + b` with `a` of the class of sums exactly: the step of a loop sum (see sum_step) is
// taken at once when `b` is an object of our own classes too (neither runs code of the
// caller); any other goes the general way.
PyObject* add_to_sum(PyObject* a, PyObject* b) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    if (is_exact_expression_object(b)) {
      const Expression& lhs = expr_holder(a).tree();
      const Expression& rhs = expr_holder(b).tree();
      if (lhs && rhs && rhs.ndim() == 0) {
        if (Expression r = sum_step(lhs, rhs)) return wrap(ClassId::AddOp, std::move(r));
      }
    }
    return general_arithmetic<&PyNumberMethods::nb_add, &add>(a, b);
  });
}

template <binaryfunc PyNumberMethods::*Member, CoreOp Op>
PyObject* arithmetic(PyObject* a, PyObject* b) {
  if constexpr (Member == &PyNumberMethods::nb_add) {
    if (Py_TYPE(a) == type_of(ClassId::AddOp)) return add_to_sum(a, b);
  }
  return guarded<PyObject*>(nullptr, [&] { return general_arithmetic<Member, Op>(a, b); });
}

PyObject* power_slot(PyObject* a, PyObject* b, PyObject* modulo) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    Expression base, exponent;
    if (!(quick_expression(a, base) && quick_expression(b, exponent)) &&
        !operands(a, b, receives(a, &PyNumberMethods::nb_power, &power_slot), base, exponent))
      return nullptr;
    auto r = power(base, exponent);
    if (!r || modulo == Py_None) return result_object(r);
    auto m = to_expression(modulo);
    if (!m) return raise(m.error());
    return result_object(remainder(*r, *m));
  });
}

PyObject* negative_slot(PyObject* a) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto e = to_expression(a);
    if (!e) return raise(e.error());
    return result_object(negate(*e));
  });
}

// Division on the decision-variable classes.
PyObject* var_divide_slot(PyObject* a, PyObject* b) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const bool a_receives = receives(a, &PyNumberMethods::nb_true_divide, &var_divide_slot);
    auto var = to_expression(a_receives ? a : b);
    if (!var) return raise(var.error());
    auto other = to_expression(a_receives ? b : a);
    if (!other) return raise(other.error());
    if (!a_receives) return raise(decision_var_divisor_error(*var, *other));
    return result_object(divide_decision_var(*var, *other));
  });
}

// self == other, self < other, ...: a comparison with self on the left.
PyObject* compare_slot(PyObject* self, PyObject* other, int op) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    ComparisonKind kind;
    switch (op) {
      case Py_EQ: kind = ComparisonKind::Equal; break;
      case Py_NE: kind = ComparisonKind::NotEqual; break;
      case Py_LT: kind = ComparisonKind::LessThan; break;
      case Py_LE: kind = ComparisonKind::LessThanEqual; break;
      case Py_GT: kind = ComparisonKind::GreaterThan; break;
      case Py_GE: kind = ComparisonKind::GreaterThanEqual; break;
      default: return raise(value_error("invalid comparison operator"));
    }
    auto left = to_expression(self);
    if (!left) return raise(left.error());
    auto right = to_expression(other);
    if (!right) return raise(right.error());
    return from_node(make_comparison(kind, std::move(left).value(), std::move(right).value()));
  });
}

template <class F>
void* slot(F f) {
  return reinterpret_cast<void*>(f);
}

}  // namespace

PyObject* result_object(const Result<Expression>& r) {
  if (!r) return raise(r.error());
  return from_node(*r);
}

PyObject* result_object(Result<Expression>&& r) {
  if (!r) return raise(r.error());
  const ClassId id = class_of(*r);
  return result_object(std::move(r), id);
}

PyObject* result_object(Result<Expression>&& r, ClassId id) {
  if (!r) return raise(r.error());
  return wrap(id, std::move(r).value());
}

void add_arithmetic_slots(Slots& s, bool decision_var) {
  using N = PyNumberMethods;
  s.add(Py_nb_add, slot(&arithmetic<&N::nb_add, &add>));
  s.add(Py_nb_subtract, slot(&arithmetic<&N::nb_subtract, &subtract>));
  s.add(Py_nb_multiply, slot(&arithmetic<&N::nb_multiply, &multiply>));
  s.add(Py_nb_power, slot(&power_slot));
  s.add(Py_nb_negative, slot(&negative_slot));
  s.add(Py_tp_richcompare, slot(&compare_slot));
  if (decision_var) {
    s.add(Py_nb_true_divide, slot(&var_divide_slot));
  } else {
    s.add(Py_nb_true_divide, slot(&arithmetic<&N::nb_true_divide, &divide>));
    s.add(Py_nb_remainder, slot(&arithmetic<&N::nb_remainder, &remainder>));
  }
}

}  // namespace tarvex::py
