// The Python classes of the module: their ids in registration order, the objects that
// hold a tree, the table of type objects, and the slot helpers every class unit uses.
#pragma once

#include <nanobind/nanobind.h>

#include <array>
#include <cstdint>
#include <vector>

#include "lib/errors_py.hpp"
#include "model/expression/expression.hpp"

namespace tarvex::py {

namespace nb = nanobind;

// Every class, in registration order.
enum class ClassId : std::uint8_t {
  DataType,
  NumberLit,
  Placeholder,
  Range,
  Element,
  Subscript,
  ArrayLength,
  DummyIndexedVar,
  BinaryVar,
  IntegerVar,
  ContinuousVar,
  SemiIntegerVar,
  SemiContinuousVar,
  AbsOp,
  CeilOp,
  FloorOp,
  Log2Op,
  Log10Op,
  LnOp,
  AddOp,
  MulOp,
  ModOp,
  MinOp,
  MaxOp,
  PowOp,
  SumOp,
  ProdOp,
  AndOp,
  OrOp,
  XorOp,
  EqualOp,
  NotEqualOp,
  LessThanOp,
  LessThanEqualOp,
  GreaterThanOp,
  GreaterThanEqualOp,
  Problem,
  ProblemSense,
  Constraint,
  ConstraintSense,
  CustomPenaltyTerm,
  Evaluation,
  Record,
  SolvingTime,
  SystemTime,
  MeasuringTime,
  SampleSet,
  Count,
};

inline constexpr std::size_t kClassCount = static_cast<std::size_t>(ClassId::Count);

// A Python object of an expression class holds one Expression, of a condition class one
// Condition. The class templates exist only to give each Python class its own C++ type.
//
// The tree is handed out only as a new reference (a copy of the handle). Any call into
// Python may run a finalizer that gives the object a new tree with set_latex and frees the
// old one; a reader that keeps its own reference cannot be left with freed nodes. Bind the
// copy to a local (`const Expression e = holder.expr();`) or use it within one full
// expression; for fields of the node, see Pinned below.
class ExprHolder {
 public:
  explicit ExprHolder(Expression e) : tree_(std::move(e)) {}
  Expression expr() const { return tree_; }
  const Expression& tree() const { return tree_; }
  bool empty() const { return !tree_; }
  void set(Expression e) { tree_ = std::move(e); }

 private:
  Expression tree_;
};
class CondHolder {
 public:
  explicit CondHolder(Condition c) : tree_(std::move(c)) {}
  Condition cond() const { return tree_; }
  bool empty() const { return !tree_; }
  void set(Condition c) { tree_ = std::move(c); }

 private:
  Condition tree_;
};

// Objects of the expression and condition classes are plain CPython objects, the header and
// one handle, without the generic instance machinery of the other classes (a registry of
// C++ addresses, a state word): they are the objects that model building makes by the
// million. Objects of the classes themselves (not of Python subclasses) are kept for reuse
// when freed. Everything runs under the GIL.
struct ExprPyObject {
  PyObject_HEAD
  ExprHolder holder;
};
struct CondPyObject {
  PyObject_HEAD
  CondHolder holder;
};
namespace detail {
void expr_dealloc(PyObject* self);
void cond_dealloc(PyObject* self);
}  // namespace detail

// The node of one kind of an object's tree, with a reference that keeps it alive as long as
// the Pinned value lives: `node(self)->subscripts` stays valid to the end of the full
// expression, even across allocations that run the garbage collector.
template <class T, class Tree = Expression>
class Pinned {
 public:
  explicit Pinned(Tree t) : tree_(std::move(t)) {}
  const T* operator->() const { return &tree_.template as<T>(); }
  const T& operator*() const { return tree_.template as<T>(); }
  const Tree& tree() const { return tree_; }

 private:
  Tree tree_;
};

// Type objects, filled as the classes are registered.
struct ClassInfo {
  PyTypeObject* type = nullptr;
};
namespace detail {
extern std::array<ClassInfo, kClassCount> g_classes;
}  // namespace detail
inline ClassInfo& class_info(ClassId id) { return detail::g_classes[static_cast<std::size_t>(id)]; }
inline PyTypeObject* type_of(ClassId id) { return class_info(id).type; }

// The class that a node becomes in Python.
ClassId class_of(const Expression& e);
ClassId class_of(const Condition& c);

// Whether `o` is an instance of the class (exact type first, then subclasses).
bool is_instance(PyObject* o, ClassId id);

// Whether `o` is of one of the expression classes exactly (not of a Python subclass).
inline bool is_exact_expression_object(PyObject* o) { return Py_TYPE(o)->tp_dealloc == &detail::expr_dealloc; }

// The tree held by an object known to be of an expression or condition class.
inline ExprHolder& expr_holder(PyObject* o) { return reinterpret_cast<ExprPyObject*>(o)->holder; }
inline CondHolder& cond_holder(PyObject* o) { return reinterpret_cast<CondPyObject*>(o)->holder; }

// New Python objects wrapping a node (new reference; nullptr with an exception set). `type`,
// when given, is the class or a Python subclass of it (constructors called on a subclass).
PyObject* wrap(ClassId id, Expression e, PyTypeObject* type = nullptr);
PyObject* wrap(ClassId id, Condition c, PyTypeObject* type = nullptr);

// A new object of a class whose C++ value is T (for classes that do not hold a tree),
// holding T{args...}; `type` may be a Python subclass.
template <class T, class... Args>
PyObject* new_instance(PyTypeObject* type, Args&&... args) {
  nb::object obj = nb::inst_alloc(nb::handle(reinterpret_cast<PyObject*>(type)));
  new (nb::inst_ptr<T>(obj)) T{std::forward<Args>(args)...};
  nb::inst_mark_ready(obj);
  return obj.release().ptr();
}

// A Python list (or tuple) of new objects, one per node, made by `make`.
template <class Seq, class Make>
PyObject* sequence_of(const Seq& items, std::size_t n, Make make, bool tuple = false) {
  nb::object out = nb::steal(tuple ? PyTuple_New(Py_ssize_t(n)) : PyList_New(Py_ssize_t(n)));
  if (!out) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    PyObject* item = make(items[i]);
    if (!item) return nullptr;
    if (tuple) {
      PyTuple_SET_ITEM(out.ptr(), Py_ssize_t(i), item);
    } else {
      PyList_SET_ITEM(out.ptr(), Py_ssize_t(i), item);
    }
  }
  return out.release().ptr();
}

// Builds the slot array of a class: the common ones plus those a unit adds. The array is
// kept for the life of the process, as the type object refers to parts of it.
class Slots {
 public:
  Slots& add(int slot, void* fn) {
    slots_.push_back({slot, fn});
    return *this;
  }
  // tp_new raising "No constructor defined".
  Slots& no_constructor();
  // tp_new of a constructible class; tp_init then accepts and ignores the arguments.
  Slots& constructor(newfunc fn);
  Slots& methods(PyMethodDef* defs) { return add(Py_tp_methods, defs); }
  // str and repr through the printer, for expression and condition classes.
  Slots& expr_printing();
  Slots& cond_printing();
  const PyType_Slot* finish();

 private:
  std::vector<PyType_Slot> slots_;
};

// Registers an expression or condition class: the type object (subclassable, `name` a
// string that lives as long as the process), its attribute of `scope`, its entry in the
// class table.
void tree_class(ClassId id, nb::handle scope, const char* name, const char* doc, Slots& slots, bool cond);
template <ClassId K>
void expr_class(nb::handle scope, const char* name, const char* doc, Slots& slots) {
  tree_class(K, scope, name, doc, slots, false);
}
template <ClassId K>
void cond_class(nb::handle scope, const char* name, const char* doc, Slots& slots) {
  tree_class(K, scope, name, doc, slots, true);
}

// set_latex(latex=None) of every expression and condition class except NumberLit.
PyObject* expr_set_latex(PyObject* self, PyObject* args, PyObject* kwargs);
PyObject* cond_set_latex(PyObject* self, PyObject* args, PyObject* kwargs);
extern const char* const kSetLatexDoc;
// _repr_latex_() of the expression and condition classes.
PyObject* expr_repr_latex(PyObject* self, PyObject*);
PyObject* cond_repr_latex(PyObject* self, PyObject*);
extern const char* const kReprLatexDoc;
#define TX_REPR_LATEX(fn) \
  PyMethodDef { "_repr_latex_", fn, METH_NOARGS, kReprLatexDoc }
#define TX_METHOD(name, fn, doc) \
  PyMethodDef { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)), METH_VARARGS | METH_KEYWORDS, doc }
// A module function: fastcall with keywords, docstring "name(args)\n--\n\n...".
#define TX_FUNCTION(name, fn, doc)                                                                              \
  PyMethodDef {                                                                                                 \
    name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)), METH_FASTCALL | METH_KEYWORDS, doc \
  }
#define TX_GETTER(name, fn, doc) \
  PyGetSetDef { name, fn, nullptr, doc, nullptr }

// Runs a slot body, turning any C++ exception into a Python one. Nothing escapes to the
// interpreter as a C++ exception.
template <class R, class F>
R guarded(R on_error, F&& body) noexcept {
  try {
    return body();
  } catch (nb::python_error& e) {
    e.restore();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    raise(internal_error(e.what()));
  } catch (...) {
    raise(internal_error("unknown failure"));
  }
  return on_error;
}

}  // namespace tarvex::py
