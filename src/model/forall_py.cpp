// Forall arguments of Constraint and CustomPenaltyTerm.
#include "lib/convert_py.hpp"
#include "model/model_py.hpp"
#include "print/printer.hpp"

namespace tarvex::py {
namespace {

std::optional<ForallItem> to_item(PyObject* o) {
  if (is_instance(o, ClassId::Element)) return ForallItem{expr_holder(o).expr(), Condition()};
  if (PyTuple_Check(o) && PyTuple_GET_SIZE(o) == 2 && is_instance(PyTuple_GET_ITEM(o, 0), ClassId::Element)) {
    auto c = to_condition(PyTuple_GET_ITEM(o, 1));
    if (c) return ForallItem{expr_holder(PyTuple_GET_ITEM(o, 0)).expr(), std::move(c).value()};
  }
  return std::nullopt;
}

}  // namespace

Result<ForallList> to_forall_list(PyObject* o) {
  std::vector<ForallItem> items;
  if (!o || o == Py_None) return ForallList{};
  if (auto item = to_item(o)) {
    items.push_back(std::move(*item));
  } else {
    Status all = PyUnicode_Check(o) || !PySequence_Check(o)
                     ? Status(type_error("failed to create a forall list object"))
                     : for_each_item(o, [&](PyObject* x) -> Status {
                         auto i = to_item(x);
                         if (!i) return type_error("failed to create a forall list object");
                         items.push_back(std::move(*i));
                         return Ok{};
                       });
    if (!all) return type_error("failed to create a forall list object");
  }
  return make_forall_list(std::move(items));
}

PyObject* forall_list_object(const ForallList& f) {
  nb::object list = nb::steal(PyList_New(Py_ssize_t(f.size())));
  if (!list) return nullptr;
  for (std::size_t k = 0; k < f.size(); ++k) {
    PyObject* element = from_node(f[k].element);
    if (!element) return nullptr;
    PyObject* item = element;
    if (f[k].condition) {
      PyObject* cond = from_node(f[k].condition);
      if (!cond) {
        Py_DECREF(element);
        return nullptr;
      }
      item = PyTuple_Pack(2, element, cond);
      Py_DECREF(element);
      Py_DECREF(cond);
      if (!item) return nullptr;
    }
    PyList_SET_ITEM(list.ptr(), Py_ssize_t(k), item);
  }
  return list.release().ptr();
}

std::string forall_text(const ForallList& f) {
  std::string out = "[";
  for (std::size_t k = 0; k < f.size(); ++k) {
    if (k) out += ", ";
    const std::string& name = f[k].element.as<Element>().name;
    if (f[k].condition) {
      out += "(" + name + ", " + text_of(f[k].condition) + ")";
    } else {
      out += name;
    }
  }
  return out + "]";
}

}  // namespace tarvex::py
