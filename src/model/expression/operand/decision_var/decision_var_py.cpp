// The five decision-variable classes. They share one node kind and one construction; they
// differ in their kind, in whether bounds are given, and in one message.
#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "model/expression/operand/decision_var/decision_var.hpp"
#include "model/expression/operand/dummy_indexed_var_py.hpp"
#include "model/expression/operand/subscript.hpp"

namespace tarvex::py {
namespace {

Pinned<DecisionVar> node(PyObject* self) { return Pinned<DecisionVar>(expr_holder(self).expr()); }

// shape: None, or a sequence (not a str) of scalar expressions.
bool extract_shape(PyObject* o, std::vector<Expression>& out) {
  if (!o || o == Py_None) return true;
  auto list = to_expression_list(o);
  if (!list) {
    const Error& e = list.error();
    if (e.kind == ErrorKind::Type) raise_argument("shape", e.kind, e.message);
    else raise(e);
    return false;
  }
  out = std::move(list).value();
  return true;
}

Result<Bound> to_bound(PyObject* o) {
  if (auto e = to_expression(o)) return Bound{BoundKind::Expression, std::move(e).value()};
  if (is_instance(o, ClassId::Placeholder)) return Bound{BoundKind::Placeholder, expr_holder(o).expr()};
  if (is_instance(o, ClassId::Subscript)) {
    const Expression s = expr_holder(o).expr();
    if (s.as<Subscript>().variable.kind() != ExprKind::Placeholder)
      return modeling_error("only a subscripted placeholder can be used as the bound of a decision variable");
    return Bound{BoundKind::Subscript, s};
  }
  return modeling_error("the input object is not used as the bound of a decision variable");
}

template <ClassId K>
constexpr VarKind kind_of() {
  return static_cast<VarKind>(static_cast<int>(K) - static_cast<int>(ClassId::BinaryVar));
}

template <ClassId K>
PyObject* var_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    constexpr VarKind kind = kind_of<K>();
    const std::string cls = std::string(kind_word(kind)) + "Var";
    PyObject *name = nullptr, *shape = nullptr, *lower = nullptr, *upper = nullptr, *latex = nullptr,
             *description = nullptr;
    if constexpr (kind == VarKind::Binary) {
      static const char* const kw[] = {"name", "shape", "latex", "description", nullptr};
      if (!parse_args(args, kwargs, "O|$OOO:BinaryVar", kw, &name, &shape, &latex, &description)) return nullptr;
    } else {
      static const char* const kw[] = {"name", "shape", "lower_bound", "upper_bound", "latex", "description",
                                       nullptr};
      const std::string format = "O|$OOOOO:" + cls;
      if (!parse_args(args, kwargs, format.c_str(), kw, &name, &shape, &lower, &upper, &latex, &description))
        return nullptr;
      if (!lower || !upper) {
        const char* missing = !lower && !upper ? "2 required keyword-only arguments: 'lower_bound' and 'upper_bound'"
                              : !lower         ? "1 required keyword-only argument: 'lower_bound'"
                                               : "1 required keyword-only argument: 'upper_bound'";
        PyErr_Format(PyExc_TypeError, "%s() missing %s", cls.c_str(), missing);
        return nullptr;
      }
    }
    std::string n;
    std::vector<Expression> dims;
    if (!extract_str(name, "name", n) || !extract_shape(shape, dims)) return nullptr;
    Bound lo, hi;
    if constexpr (kind != VarKind::Binary) {
      auto l = to_bound(lower);
      if (!l) return raise(l.error());
      auto u = to_bound(upper);
      if (!u) return raise(u.error());
      lo = std::move(l).value();
      hi = std::move(u).value();
    }
    OptString lx, desc;
    if (!extract_opt_str(latex, "latex", lx) || !extract_opt_str(description, "description", desc))
      return nullptr;
    auto v = make_decision_var(kind, std::move(n), std::move(dims), std::move(lo), std::move(hi), std::move(lx),
                               std::move(desc));
    if (!v) return raise(v.error());
    return wrap(K, std::move(v).value(), type);
  });
}

// x[...]: a subscript, or with slices a DummyIndexedVar.
Result<SubscriptItem> to_item(PyObject* o) {
  if (PySlice_Check(o)) {
    auto* s = reinterpret_cast<PySliceObject*>(o);
    SliceItem item;
    if (s->start != Py_None) {
      TX_TRY(item.start, to_expression(s->start));
    }
    if (s->stop != Py_None) {
      TX_TRY(item.stop, to_expression(s->stop));
    }
    if (s->step != Py_None) {
      TX_TRY(item.step, to_expression(s->step));
    }
    return SubscriptItem(std::move(item));
  }
  TX_TRY(Expression e, to_expression(o));
  return SubscriptItem(std::move(e));
}

Error invalid_index(PyObject* index) {
  nb::object r = nb::steal(PyObject_Repr(index));
  if (!r) {
    PyErr_Clear();
    return {ErrorKind::Index, "Invalid index: ?"};
  }
  return {ErrorKind::Index, "Invalid index: " + std::string(PyUnicode_AsUTF8(r.ptr()))};
}

Result<std::vector<SubscriptItem>> to_items(PyObject* index) {
  std::vector<SubscriptItem> items;
  if (PyTuple_CheckExact(index)) {
    // `x[i, j]`: a tuple is neither an expression nor a slice (both attempts would fail
    // without side effects), so its items are read directly, as the sequence path does.
    const Py_ssize_t n = PyTuple_GET_SIZE(index);
    items.reserve(std::size_t(n));
    for (Py_ssize_t k = 0; k < n; ++k) {
      auto item = to_item(PyTuple_GET_ITEM(index, k));
      if (!item) return invalid_index(index);
      items.push_back(std::move(item).value());
    }
    return items;
  }
  if (auto e = to_expression(index)) {
    items.emplace_back(std::move(e).value());
    return items;
  }
  if (PySlice_Check(index)) {
    TX_TRY(SubscriptItem item, to_item(index));
    items.push_back(std::move(item));
    return items;
  }
  if (!PyUnicode_Check(index) && PySequence_Check(index)) {
    Status all = for_each_item(index, [&](PyObject* o) -> Status {
      TX_TRY(SubscriptItem item, to_item(o));
      items.push_back(std::move(item));
      return Ok{};
    });
    if (all) return items;
  }
  return invalid_index(index);
}

// The subscripts of an index without slices, read straight into their list: a tuple
// without slices (its items converted in order, as to_items does), or a single index that
// converts quickly (no code of the caller runs, so a failed attempt can be repeated by the
// full path).
enum class Plain { Full, Read, Invalid };  // take the full path; read into `subs`; invalid index

Plain plain_subscripts(PyObject* index, ExprList& subs) {
  if (PyTuple_CheckExact(index)) {
    const Py_ssize_t n = PyTuple_GET_SIZE(index);
    for (Py_ssize_t k = 0; k < n; ++k)
      if (PySlice_Check(PyTuple_GET_ITEM(index, k))) return Plain::Full;
    subs.reserve(std::size_t(n));
    for (Py_ssize_t k = 0; k < n; ++k) {
      PyObject* item = PyTuple_GET_ITEM(index, k);
      if (Expression e; quick_expression(item, e)) {
        subs.push_back(std::move(e));
        continue;
      }
      auto e = to_expression(item);
      if (!e) return Plain::Invalid;
      subs.push_back(std::move(e).value());
    }
    return Plain::Read;
  }
  Expression e;
  if (!quick_expression(index, e)) return Plain::Full;
  subs.push_back(std::move(e));
  return Plain::Read;
}

PyObject* var_getitem(PyObject* self, PyObject* index) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    const Expression var = expr_holder(self).expr();
    ExprList subs;
    switch (plain_subscripts(index, subs)) {
      case Plain::Invalid: return raise(invalid_index(index));
      case Plain::Read:
        if (var.ndim() == 0) return raise(make_subscript(var, {}, ItemCheck::BeforeCount).error());
        return result_object(make_subscript(var, std::move(subs), ItemCheck::BeforeCount), ClassId::Subscript);
      case Plain::Full: break;
    }
    auto items = to_items(index);
    if (!items) return raise(items.error());
    if (var.ndim() == 0) return raise(make_subscript(var, {}, ItemCheck::BeforeCount).error());
    bool sliced = false;
    for (const SubscriptItem& i : *items) sliced = sliced || std::holds_alternative<SliceItem>(i);
    if (sliced) {
      auto d = make_dummy_indexed_var(var, std::move(items).value());
      if (!d) return raise(d.error());
      return wrap_dummy_indexed_var(std::move(d).value());
    }
    subs.reserve(items->size());
    for (SubscriptItem& i : *items) subs.push_back(std::move(std::get<Expression>(i)));
    return result_object(make_subscript(var, std::move(subs), ItemCheck::BeforeCount), ClassId::Subscript);
  });
}

PyObject* get_name(PyObject* self, void*) { return to_str(node(self)->name); }
PyObject* get_description(PyObject* self, void*) { return str_or_none(node(self)->description); }
PyObject* get_ndim(PyObject* self, void*) { return PyLong_FromSize_t(node(self)->shape.size()); }
PyObject* get_shape(PyObject* self, void*) { return tuple_of(node(self)->shape); }
PyObject* get_lower_bound(PyObject* self, void*) { return from_node(node(self)->lower_bound.value); }
PyObject* get_upper_bound(PyObject* self, void*) { return from_node(node(self)->upper_bound.value); }

PyGetSetDef kBinaryGetters[] = {
    TX_GETTER("name", get_name, "The name of the variable."),
    TX_GETTER("description", get_description, "The description, or None."),
    TX_GETTER("ndim", get_ndim, "The number of dimensions."),
    TX_GETTER("shape", get_shape, "The length of each axis."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyGetSetDef kBoundedGetters[] = {
    TX_GETTER("name", get_name, "The name of the variable."),
    TX_GETTER("description", get_description, "The description, or None."),
    TX_GETTER("ndim", get_ndim, "The number of dimensions."),
    TX_GETTER("shape", get_shape, "The length of each axis."),
    TX_GETTER("lower_bound", get_lower_bound, "The lower bound."),
    TX_GETTER("upper_bound", get_upper_bound, "The upper bound."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef kMethods[] = {
    TX_METHOD("set_latex", expr_set_latex, kSetLatexDoc),
    TX_REPR_LATEX(expr_repr_latex),
    {nullptr, nullptr, 0, nullptr},
};

constexpr const char* kBoundedArgs =
    "Args:\n"
    "    name (str): the name.\n"
    "    shape (sequence | None): the length of each axis, as scalar expressions; a scalar when None.\n"
    "    lower_bound, upper_bound: each a scalar expression, a placeholder with as many dimensions as "
    "the variable, or a subscripted placeholder with as many.\n"
    "    latex (str | None): the LaTeX form; the name when None.\n"
    "    description (str | None): a description.";

template <ClassId K>
void register_var(nb::module_& m, const char* name, const char* doc) {
  static Slots slots;
  static std::string text;
  const bool binary = K == ClassId::BinaryVar;
  slots.constructor(&var_new<K>)
      .expr_printing()
      .add(Py_tp_getset, binary ? kBinaryGetters : kBoundedGetters)
      .methods(kMethods)
      .add(Py_mp_subscript, reinterpret_cast<void*>(&var_getitem));
  add_arithmetic_slots(slots, true);
  text = std::string(name) +
         (binary ? "(name, *, shape=None, latex=None, description=None)\n--\n\n"
                 : "(name, *, shape=None, lower_bound, upper_bound, latex=None, description=None)\n--\n\n") +
         doc + "\n\n" +
         (binary ? "Args:\n"
                   "    name (str): the name.\n"
                   "    shape (sequence | None): the length of each axis, as scalar expressions; a "
                   "scalar when None.\n"
                   "    latex (str | None): the LaTeX form; the name when None.\n"
                   "    description (str | None): a description."
                 : kBoundedArgs);
  expr_class<K>(m, name, text.c_str(), slots);
}

}  // namespace

void register_binary_var(nb::module_& m) {
  register_var<ClassId::BinaryVar>(m, "BinaryVar", "A class for creating a binary decision variable.");
}
void register_integer_var(nb::module_& m) {
  register_var<ClassId::IntegerVar>(m, "IntegerVar", "A class for creating an integer decision variable.");
}
void register_continuous_var(nb::module_& m) {
  register_var<ClassId::ContinuousVar>(m, "ContinuousVar", "A class for creating a continuous decision variable.");
}
void register_semi_integer_var(nb::module_& m) {
  register_var<ClassId::SemiIntegerVar>(m, "SemiIntegerVar",
                                        "A class for creating a semi-integer decision variable.");
}
void register_semi_continuous_var(nb::module_& m) {
  register_var<ClassId::SemiContinuousVar>(m, "SemiContinuousVar",
                                           "A class for creating a semi-continuous decision variable.");
}

}  // namespace tarvex::py
