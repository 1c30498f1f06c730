// Range: the half-open interval an element ranges over.
#include "model/expression/operand/element/range_py.hpp"

#include "lib/convert_py.hpp"
#include "lib/registry_py.hpp"
#include "print/printer.hpp"

namespace tarvex::py {
namespace {

struct RangeObject {
  Range range;
};

const Range& node(PyObject* self) { return nb::inst_ptr<RangeObject>(self)->range; }

PyObject* get_start(PyObject* self, void*) { return from_node(node(self).start); }
PyObject* get_end(PyObject* self, void*) { return from_node(node(self).end); }

template <PrintMode M>
PyObject* text(PyObject* self) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    auto t = render_range(M, node(self));
    if (!t) return raise(t.error());
    return to_str(*t);
  });
}

PyGetSetDef kGetters[] = {
    TX_GETTER("start", get_start, "The first value of the range."),
    TX_GETTER("end", get_end, "The end of the range (excluded)."),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

PyObject* wrap_range(const Range& r) {
  return guarded<PyObject*>(nullptr, [&]() -> PyObject* {
    return new_instance<RangeObject>(type_of(ClassId::Range), r);
  });
}

void register_range(nb::module_& m) {
  static Slots slots;
  slots.no_constructor()
      .add(Py_tp_getset, kGetters)
      .add(Py_tp_str, reinterpret_cast<void*>(&text<PrintMode::Text>))
      .add(Py_tp_repr, reinterpret_cast<void*>(&text<PrintMode::Repr>));
  nb::class_<RangeObject> cls(m, "Range", "A half-open interval [start, end) that an element ranges over.",
                              nb::type_slots(slots.finish()));
  class_info(ClassId::Range).type = reinterpret_cast<PyTypeObject*>(cls.ptr());
}

}  // namespace tarvex::py
