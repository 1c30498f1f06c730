#include "lib/classes_py.hpp"

#include "lib/convert_py.hpp"
#include "print/latex.hpp"
#include "print/printer.hpp"

#include <cstring>
#include <deque>
#include <string>

namespace tarvex::py {

std::array<ClassInfo, kClassCount> detail::g_classes;

namespace {

ClassId offset(ClassId first, auto kind) {
  return static_cast<ClassId>(static_cast<int>(first) + static_cast<int>(kind));
}

PyObject* refuse_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined");
  return nullptr;
}

int accept_init(PyObject*, PyObject*, PyObject*) { return 0; }

// Freed objects of the expression (or condition) classes, kept for reuse: objects of every
// class of a kind have the same size, and a reused one takes its new type.
struct Pool {
  static constexpr int kCapacity = 256;
  PyObject* items[kCapacity];
  int count = 0;
};
template <class Obj>
Pool g_pool;

// A new object of the class (or Python subclass) `type` of the kind whose objects are `Obj`
// and whose deallocator is `own_dealloc`, holding `tree`; nullptr with an exception set.
template <class Obj, class Tree>
PyObject* new_tree_object(PyTypeObject* type, destructor own_dealloc, Tree tree) {
  PyObject* o;
  if (type->tp_dealloc != own_dealloc) {
    o = type->tp_alloc(type, 0);  // a Python subclass
  } else {
    Pool& pool = g_pool<Obj>;
    void* mem = pool.count > 0 ? pool.items[--pool.count] : PyObject_Malloc(sizeof(Obj));
    o = mem ? PyObject_Init(static_cast<PyObject*>(mem), type) : PyErr_NoMemory();
  }
  if (o) new (&reinterpret_cast<Obj*>(o)->holder) decltype(Obj::holder)(std::move(tree));
  return o;
}

template <class Obj>
void dealloc_tree_object(PyObject* self, destructor own_dealloc) {
  PyTypeObject* type = Py_TYPE(self);
  using Holder = decltype(Obj::holder);
  reinterpret_cast<Obj*>(self)->holder.~Holder();
  Pool& pool = g_pool<Obj>;
  if (type->tp_dealloc != own_dealloc) {
    type->tp_free(self);  // a Python subclass, called through its own deallocator
  } else if (pool.count < Pool::kCapacity) {
    pool.items[pool.count++] = self;
  } else {
    PyObject_Free(self);
  }
  Py_DECREF(type);
}

template <PrintMode M>
PyObject* expr_text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto text = render_node(M, expr_holder(self).expr());
    if (!text) return raise(text.error());
    return PyUnicode_FromStringAndSize(text->data(), Py_ssize_t(text->size()));
  });
}

template <PrintMode M>
PyObject* cond_text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto text = render_condition(M, cond_holder(self).cond());
    if (!text) return raise(text.error());
    return PyUnicode_FromStringAndSize(text->data(), Py_ssize_t(text->size()));
  });
}

}  // namespace

ClassId class_of(const Expression& e) {
  switch (e.kind()) {
    case ExprKind::Number: return ClassId::NumberLit;
    case ExprKind::Placeholder: return ClassId::Placeholder;
    case ExprKind::Element: return ClassId::Element;
    case ExprKind::DecisionVar: return offset(ClassId::BinaryVar, e.as<DecisionVar>().kind);
    case ExprKind::Subscript: return ClassId::Subscript;
    case ExprKind::ArrayLength: return ClassId::ArrayLength;
    case ExprKind::Unary:
      switch (e.as<UnaryOp>().kind) {
        case UnaryKind::Abs: return ClassId::AbsOp;
        case UnaryKind::Ceil: return ClassId::CeilOp;
        case UnaryKind::Floor: return ClassId::FloorOp;
        case UnaryKind::Ln: return ClassId::LnOp;
        case UnaryKind::Log10: return ClassId::Log10Op;
        case UnaryKind::Log2: return ClassId::Log2Op;
      }
      break;
    case ExprKind::Binary:
      return e.as<BinaryOp>().kind == BinaryKind::Pow ? ClassId::PowOp : ClassId::ModOp;
    case ExprKind::Commutative:
      switch (e.as<CommutativeOp>().kind) {
        case CommutativeKind::Add: return ClassId::AddOp;
        case CommutativeKind::Mul: return ClassId::MulOp;
        case CommutativeKind::Min: return ClassId::MinOp;
        case CommutativeKind::Max: return ClassId::MaxOp;
      }
      break;
    case ExprKind::Reduction:
      return e.as<ReductionOp>().kind == ReductionKind::Sum ? ClassId::SumOp : ClassId::ProdOp;
  }
  return ClassId::Count;
}

ClassId class_of(const Condition& c) {
  if (const auto* cmp = c.get_if<Comparison>()) return offset(ClassId::EqualOp, cmp->kind);
  return offset(ClassId::AndOp, c.as<Logical>().kind);
}

bool is_instance(PyObject* o, ClassId id) {
  PyTypeObject* t = type_of(id);
  return t && (Py_TYPE(o) == t || PyType_IsSubtype(Py_TYPE(o), t));
}

void detail::expr_dealloc(PyObject* self) { dealloc_tree_object<ExprPyObject>(self, &expr_dealloc); }
void detail::cond_dealloc(PyObject* self) { dealloc_tree_object<CondPyObject>(self, &cond_dealloc); }

PyObject* wrap(ClassId id, Expression e, PyTypeObject* type) {
  PyTypeObject* t = id == ClassId::Count ? nullptr : type_of(id);
  if (!t || t->tp_dealloc != &detail::expr_dealloc)
    return raise(internal_error("no Python class for this expression node"));
  return new_tree_object<ExprPyObject>(type ? type : t, &detail::expr_dealloc, std::move(e));
}

PyObject* wrap(ClassId id, Condition c, PyTypeObject* type) {
  PyTypeObject* t = id == ClassId::Count ? nullptr : type_of(id);
  if (!t || t->tp_dealloc != &detail::cond_dealloc)
    return raise(internal_error("no Python class for this condition node"));
  return new_tree_object<CondPyObject>(type ? type : t, &detail::cond_dealloc, std::move(c));
}

void tree_class(ClassId id, nb::handle scope, const char* name, const char* doc, Slots& slots, bool cond) {
  slots.add(Py_tp_dealloc, reinterpret_cast<void*>(cond ? &detail::cond_dealloc : &detail::expr_dealloc));
  slots.add(Py_tp_doc, const_cast<char*>(doc));
  // The dotted name gives the class its module; the type keeps a pointer to it. Messages of
  // the interpreter name the class alone, as they do for the other classes.
  static std::deque<std::string> names;
  nb::object module = scope.attr("__name__");
  const char* module_name = PyUnicode_AsUTF8(module.ptr());
  if (!module_name) throw nb::python_error();
  const std::string& full = names.emplace_back(std::string(module_name) + "." + name);
  PyType_Spec spec{full.c_str(), int(cond ? sizeof(CondPyObject) : sizeof(ExprPyObject)), 0,
                   Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE, const_cast<PyType_Slot*>(slots.finish())};
  nb::object type = nb::steal(PyType_FromSpec(&spec));
  if (!type) throw nb::python_error();
  reinterpret_cast<PyTypeObject*>(type.ptr())->tp_name = full.c_str() + (full.size() - std::strlen(name));
  scope.attr(name) = type;
  class_info(id).type = reinterpret_cast<PyTypeObject*>(type.ptr());  // the scope keeps it alive
}

Slots& Slots::no_constructor() {
  add(Py_tp_new, reinterpret_cast<void*>(&refuse_new));
  return add(Py_tp_init, reinterpret_cast<void*>(&accept_init));
}

Slots& Slots::constructor(newfunc fn) {
  add(Py_tp_new, reinterpret_cast<void*>(fn));
  return add(Py_tp_init, reinterpret_cast<void*>(&accept_init));
}

Slots& Slots::expr_printing() {
  add(Py_tp_str, reinterpret_cast<void*>(&expr_text<PrintMode::Text>));
  return add(Py_tp_repr, reinterpret_cast<void*>(&expr_text<PrintMode::Repr>));
}

Slots& Slots::cond_printing() {
  add(Py_tp_str, reinterpret_cast<void*>(&cond_text<PrintMode::Text>));
  return add(Py_tp_repr, reinterpret_cast<void*>(&cond_text<PrintMode::Repr>));
}

const PyType_Slot* Slots::finish() {
  slots_.push_back({0, nullptr});
  return slots_.data();
}

const char* const kReprLatexDoc =
    "_repr_latex_($self)\n--\n\nThe LaTeX form shown by notebooks.";

PyObject* expr_repr_latex(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = notebook_latex(expr_holder(self).expr());
    if (!s) return raise(s.error());
    return to_str(*s);
  });
}

PyObject* cond_repr_latex(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto s = notebook_latex(cond_holder(self).cond());
    if (!s) return raise(s.error());
    return to_str(*s);
  });
}

const char* const kSetLatexDoc =
    "set_latex($self, latex=None)\n--\n\n"
    "Sets the custom LaTeX string that replaces this node's LaTeX rendering; None removes it.";

namespace {
bool parse_latex(PyObject* args, PyObject* kwargs, OptString& out) {
  static const char* const kw[] = {"latex", nullptr};
  PyObject* latex = Py_None;
  if (!parse_args(args, kwargs, "|O:set_latex", kw, &latex)) return false;
  return extract_opt_str(latex, "latex", out);
}
}  // namespace

PyObject* expr_set_latex(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    OptString latex;
    if (!parse_latex(args, kwargs, latex)) return nullptr;
    ExprHolder& h = expr_holder(self);
    h.set(with_latex(h.expr(), std::move(latex)));
    Py_RETURN_NONE;
  });
}

PyObject* cond_set_latex(PyObject* self, PyObject* args, PyObject* kwargs) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    OptString latex;
    if (!parse_latex(args, kwargs, latex)) return nullptr;
    CondHolder& h = cond_holder(self);
    h.set(with_latex(h.cond(), std::move(latex)));
    Py_RETURN_NONE;
  });
}

}  // namespace tarvex::py
