// DummyIndexedVar: a decision variable subscripted with slices, waiting for sum()/prod().
#include "model/expression/operand/dummy_indexed_var_py.hpp"

#include "lib/arithmetic_py.hpp"
#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"

namespace tarvex::py {
namespace {

struct DummyObject {
  DummyIndexedVar value;
};

template <ReductionKind K>
PyObject* reduce_method(PyObject* self, PyObject*) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    return result_object(reduce(nb::inst_ptr<DummyObject>(self)->value, K));
  });
}

PyMethodDef kMethods[] = {
    {"sum", reduce_method<ReductionKind::Sum>, METH_NOARGS,
     "sum($self)\n--\n\nThe sum over the sliced axes (a SumOp over their dummy elements)."},
    {"prod", reduce_method<ReductionKind::Prod>, METH_NOARGS,
     "prod($self)\n--\n\nThe product over the sliced axes (a ProdOp over their dummy elements)."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyObject* wrap_dummy_indexed_var(DummyIndexedVar d) {
  return guarded<PyObject*>(nullptr, [&] { return new_instance<DummyObject>(type_of(ClassId::DummyIndexedVar), std::move(d)); });
}

const DummyIndexedVar* as_dummy_indexed_var(PyObject* o) {
  if (!is_instance(o, ClassId::DummyIndexedVar)) return nullptr;
  return &nb::inst_ptr<DummyObject>(o)->value;
}

void register_dummy_indexed_var(nb::module_& m) {
  static Slots slots;
  slots.no_constructor().methods(kMethods);
  nb::class_<DummyObject> cls(m, "DummyIndexedVar",
                              "A decision variable subscripted with slices such as x[:, j]. Each slice "
                              "stands for a generated dummy element; sum() and prod() reduce over them.",
                              nb::type_slots(slots.finish()));
  class_info(ClassId::DummyIndexedVar).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
