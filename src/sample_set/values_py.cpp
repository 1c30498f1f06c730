// Conversions shared by the sample-set classes.
#include "sample_set/values_py.hpp"

#include <nanobind/ndarray.h>

#include <cmath>
#include <cstring>

#include "lib/convert_py.hpp"

namespace tarvex::py {
namespace {

constexpr const char* kSolutionError =
    "Failed to extract a solution. The solution must be a dict of str to a list of numpy.ndarray or "
    "Tuple[List[List[int]], List[int|float], Tuple[int,..]].";

const char* tp_name(PyObject* o) { return Py_TYPE(o)->tp_name; }

// numpy.ndarray, imported on first use and kept; nullptr (no exception set) without NumPy.
PyTypeObject* ndarray_type() {
  static PyObject* type = nullptr;
  if (!type) {
    PyObject* np = PyImport_ImportModule("numpy");
    PyObject* t = np ? PyObject_GetAttrString(np, "ndarray") : nullptr;
    Py_XDECREF(np);
    if (!t || !PyType_Check(t)) {
      Py_XDECREF(t);
      PyErr_Clear();
      return nullptr;
    }
    if (type) {
      Py_DECREF(t);
    } else {
      type = t;
    }
  }
  return reinterpret_cast<PyTypeObject*>(type);
}

bool is_ndarray(PyObject* o) {
  PyTypeObject* t = ndarray_type();
  return t && PyObject_TypeCheck(o, t);
}

// The elements of a float64 NumPy array of any strides, in row-major order, with its shape.
bool import_float64(PyObject* o, DenseArray& out) {
  if (!is_ndarray(o)) return false;
  nb::ndarray<const double, nb::device::cpu> arr;
  if (!nb::try_cast(nb::handle(o), arr, false)) {
    PyErr_Clear();
    return false;
  }
  const std::size_t nd = arr.ndim();
  out.shape.resize(nd);
  std::size_t total = 1;
  for (std::size_t i = 0; i < nd; ++i) {
    out.shape[i] = arr.shape(i);
    total *= arr.shape(i);
  }
  out.data.resize(total);
  if (total == 0) return true;
  const double* base = arr.data();
  bool contiguous = true;
  for (std::size_t i = nd, expect = 1; i-- > 0;) {
    if (arr.shape(i) != 1 && arr.stride(i) != std::int64_t(expect)) contiguous = false;
    expect *= arr.shape(i);
  }
  if (contiguous) {
    std::memcpy(out.data.data(), base, total * sizeof(double));
    return true;
  }
  // Walk the index vector in row-major order, moving a pointer by the element strides.
  std::vector<std::size_t> index(nd, 0);
  const double* p = base;
  for (std::size_t k = 0; k < total; ++k) {
    std::memcpy(&out.data[k], p, sizeof(double));  // the array may be unaligned
    for (std::size_t ax = nd; ax-- > 0;) {
      if (++index[ax] < arr.shape(ax)) {
        p += arr.stride(ax);
        break;
      }
      p -= arr.stride(ax) * std::int64_t(index[ax] - 1);
      index[ax] = 0;
    }
  }
  return true;
}

// A non-negative int that fits 64 bits, without leaving an exception set.
std::optional<std::uint64_t> as_uint64(PyObject* o) {
  if (!PyLong_Check(o) && !PyIndex_Check(o)) return std::nullopt;
  PyObject* index = PyNumber_Index(o);
  if (!index) {
    PyErr_Clear();
    return std::nullopt;
  }
  const unsigned long long v = PyLong_AsUnsignedLongLong(index);
  Py_DECREF(index);
  if (v == (unsigned long long)-1 && PyErr_Occurred()) {
    PyErr_Clear();
    return std::nullopt;
  }
  return std::uint64_t(v);
}

// The items of a sequence other than a str (a new reference to a list or tuple).
nb::object sequence_items(PyObject* o) {
  if (PyUnicode_Check(o) || !PySequence_Check(o)) return nb::object();
  nb::object fast = nb::steal(PySequence_Fast(o, "expected a sequence"));
  if (!fast) PyErr_Clear();
  return fast;
}

Error not_a_sequence(PyObject* o) {
  if (PyUnicode_Check(o)) return type_error("Can't extract `str` to `Vec`");
  return type_error(std::string("'") + tp_name(o) + "' object cannot be converted to 'Sequence'");
}

template <class Each>
Status each_item(PyObject* o, Each each) {
  nb::object items = sequence_items(o);
  if (!items) return not_a_sequence(o);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(items.ptr());
  PyObject** v = PySequence_Fast_ITEMS(items.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) TX_CHECK(each(v[i]));
  return Ok{};
}

// Runs each(name, value) over a dict with str keys.
template <class Each>
Status each_entry(PyObject* o, Each each) {
  if (!PyDict_Check(o)) return type_error(std::string("'") + tp_name(o) + "' object cannot be converted to 'PyDict'");
  // Items first: the callbacks may run Python code that changes the dict.
  nb::object items = nb::steal(PyDict_Items(o));
  if (!items) {
    PyErr_Clear();
    return type_error("failed to read the dict");
  }
  const Py_ssize_t n = PyList_GET_SIZE(items.ptr());
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* pair = PyList_GET_ITEM(items.ptr(), i);
    PyObject* key = PyTuple_GET_ITEM(pair, 0);
    if (!PyUnicode_Check(key))
      return type_error(std::string("'") + tp_name(key) + "' object cannot be converted to 'PyString'");
    Py_ssize_t len = 0;
    const char* s = PyUnicode_AsUTF8AndSize(key, &len);
    if (!s) {
      PyErr_Clear();
      return type_error("a key is not valid UTF-8");
    }
    TX_CHECK(each(std::string(s, std::size_t(len)), PyTuple_GET_ITEM(pair, 1)));
  }
  return Ok{};
}

Result<double> to_double(PyObject* o) {
  if (auto d = as_double(o)) return *d;
  return type_error(std::string("'") + tp_name(o) + "' object cannot be interpreted as a float");
}

Result<std::uint64_t> to_uint(PyObject* o) {
  nb::object index = nb::steal(PyNumber_Index(o));
  if (!index) {
    PyErr_Clear();
    return type_error(std::string("'") + tp_name(o) + "' object cannot be interpreted as an integer");
  }
  const unsigned long long v = PyLong_AsUnsignedLongLong(index.ptr());
  if (v == (unsigned long long)-1 && PyErr_Occurred()) {
    PyErr_Clear();
    int overflow = 0;
    const long long s = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    PyErr_Clear();
    const bool negative = overflow < 0 || (overflow == 0 && s < 0);
    return Error{ErrorKind::Overflow, negative ? "can't convert negative int to unsigned" : "int too big to convert"};
  }
  return std::uint64_t(v);
}

// The sparse reading: tuples (indices, values, shape) only; any mismatch is a plain false.
bool read_uint_seq(PyObject* o, std::vector<std::uint64_t>& out) {
  return bool(each_item(o, [&](PyObject* item) -> Status {
    auto u = as_uint64(item);
    if (!u) return type_error("");
    out.push_back(*u);
    return Ok{};
  }));
}

// A number; with `json_lists`, None stands for NaN (JSON writes NaN as null).
std::optional<double> as_value(PyObject* o, bool json_lists) {
  if (json_lists && o == Py_None) return std::nan("");
  if (json_lists && PyBool_Check(o)) return std::nullopt;
  return as_double(o);
}

bool read_coo(PyObject* o, CooFormat& out, bool json_lists) {
  const bool tuple = PyTuple_Check(o) && PyTuple_GET_SIZE(o) == 3;
  const bool list = json_lists && PyList_Check(o) && PyList_GET_SIZE(o) == 3;
  if (!tuple && !list) return false;
  PyObject* parts[3];
  for (Py_ssize_t i = 0; i < 3; ++i) parts[i] = PySequence_Fast_GET_ITEM(o, i);
  // Held while they are read: reading may run Python code that changes the list.
  nb::object keep[3] = {nb::borrow(parts[0]), nb::borrow(parts[1]), nb::borrow(parts[2])};
  const bool indices = bool(each_item(parts[0], [&](PyObject* axis) -> Status {
    if (!read_uint_seq(axis, out.non_zero_indices.emplace_back())) return type_error("");
    return Ok{};
  }));
  if (!indices) return false;
  const bool values = bool(each_item(parts[1], [&](PyObject* v) -> Status {
    auto d = as_value(v, json_lists);
    if (!d) return type_error("");
    out.non_zero_values.push_back(*d);
    return Ok{};
  }));
  return values && read_uint_seq(parts[2], out.shape);
}

// Rectangular nested lists of numbers, or a bare number for a 0-dimensional array. The
// shape comes from the first items; every other item must match it.
bool read_nested(PyObject* o, DenseArray& out) {
  PyObject* x = o;
  while (PyList_Check(x)) {
    if (out.shape.size() >= kMaxDims) return false;
    out.shape.push_back(std::uint64_t(PyList_GET_SIZE(x)));
    if (PyList_GET_SIZE(x) == 0) break;
    x = PyList_GET_ITEM(x, 0);
  }
  auto count = element_count(out.shape);
  if (!count) return false;
  out.data.reserve(std::size_t(*count));
  // Recursion depth is the number of axes, at most kMaxDims.
  auto fill = [&](auto& self, PyObject* item, std::size_t axis) -> bool {
    if (axis == out.shape.size()) {
      auto d = as_value(item, true);
      if (!d || PyList_Check(item)) return false;
      out.data.push_back(*d);
      return true;
    }
    if (!PyList_Check(item) || std::uint64_t(PyList_GET_SIZE(item)) != out.shape[axis]) return false;
    nb::object keep = nb::borrow(item);
    for (Py_ssize_t i = 0; i < PyList_GET_SIZE(item); ++i) {
      if (!self(self, PyList_GET_ITEM(item, i), axis + 1)) return false;
    }
    return true;
  };
  return fill(fill, o, 0) && out.data.size() == *count;
}

template <class T, class Read>
bool read_solution(PyObject* o, std::map<std::string, std::vector<T>>& out, Read read) {
  return bool(each_entry(o, [&](std::string name, PyObject* list) -> Status {
    std::vector<T> items;
    TX_CHECK(each_item(list, [&](PyObject* item) -> Status {
      if (!read(item, items.emplace_back())) return type_error("");
      return Ok{};
    }));
    out[std::move(name)] = std::move(items);
    return Ok{};
  }));
}

template <class T>
PyObject* new_array(const T* src, std::size_t n, std::size_t ndim, const std::size_t* shape) {
  T* buf = new T[n ? n : 1];
  if (n) std::memcpy(buf, src, n * sizeof(T));
  nb::capsule owner(buf, [](void* p) noexcept { delete[] static_cast<T*>(p); });
  nb::ndarray<nb::numpy, T> arr(buf, ndim, shape, owner);
  return arr.cast().release().ptr();
}

PyObject* coo_tuple(const CooFormat& c) {
  nb::object indices = nb::steal(sequence_of(c.non_zero_indices, c.non_zero_indices.size(), int_list, true));
  if (!indices) return nullptr;
  nb::object values = nb::steal(float_list(c.non_zero_values));
  if (!values) return nullptr;
  nb::object shape = nb::steal(sequence_of(c.shape, c.shape.size(), PyLong_FromUnsignedLongLong, true));
  if (!shape) return nullptr;
  return PyTuple_Pack(3, indices.ptr(), values.ptr(), shape.ptr());
}

template <class Map, class Make>
PyObject* dict_of(const Map& map, Make make) {
  nb::object dict = nb::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const auto& [name, value] : map) {
    nb::object key = nb::steal(to_str(name));
    nb::object item = nb::steal(make(value));
    if (!key || !item || PyDict_SetItem(dict.ptr(), key.ptr(), item.ptr()) < 0) return nullptr;
  }
  return dict.release().ptr();
}

template <class Value>
PyObject* list_of_arrays(const std::vector<Value>& list) {
  return sequence_of(list, list.size(), [](const Value& v) -> PyObject* {
    if constexpr (std::is_same_v<Value, DenseArray>) {
      return float_array(v);
    } else {
      return coo_tuple(v);
    }
  });
}

}  // namespace

std::shared_ptr<const Record> as_record(PyObject* o) {
  return is_instance(o, ClassId::Record) ? nb::inst_ptr<RecordObject>(o)->value : nullptr;
}
std::shared_ptr<const Evaluation> as_evaluation(PyObject* o) {
  return is_instance(o, ClassId::Evaluation) ? nb::inst_ptr<EvaluationObject>(o)->value : nullptr;
}
const SolvingTime* as_solving_time(PyObject* o) {
  return is_instance(o, ClassId::SolvingTime) ? &nb::inst_ptr<SolvingTimeObject>(o)->value : nullptr;
}
const SystemTime* as_system_time(PyObject* o) {
  return is_instance(o, ClassId::SystemTime) ? &nb::inst_ptr<SystemTimeObject>(o)->value : nullptr;
}
const MeasuringTime* as_measuring_time(PyObject* o) {
  return is_instance(o, ClassId::MeasuringTime) ? &nb::inst_ptr<MeasuringTimeObject>(o)->value : nullptr;
}

PyObject* wrap_record(Record r) {
  return new_instance<RecordObject>(type_of(ClassId::Record), std::make_shared<const Record>(std::move(r)));
}
PyObject* wrap_evaluation(Evaluation e) {
  return new_instance<EvaluationObject>(type_of(ClassId::Evaluation), std::make_shared<const Evaluation>(std::move(e)));
}
PyObject* wrap_solving_time(SolvingTime t) { return new_instance<SolvingTimeObject>(type_of(ClassId::SolvingTime), t); }
PyObject* wrap_system_time(SystemTime t) { return new_instance<SystemTimeObject>(type_of(ClassId::SystemTime), t); }
PyObject* wrap_measuring_time(MeasuringTime t) {
  return new_instance<MeasuringTimeObject>(type_of(ClassId::MeasuringTime), t);
}

Result<Solution> to_solution(PyObject* o, bool json_lists) {
  if (!PyDict_Check(o)) return type_error(kSolutionError);
  SparseSolution sparse;
  if (read_solution(o, sparse, [&](PyObject* item, CooFormat& c) { return read_coo(item, c, json_lists); }))
    return Solution(std::move(sparse));
  DenseSolution dense;
  const auto read_dense = [&](PyObject* item, DenseArray& a) {
    if (import_float64(item, a)) return true;
    a = DenseArray{};
    return json_lists && read_nested(item, a);
  };
  if (read_solution(o, dense, read_dense)) return Solution(std::move(dense));
  return type_error(kSolutionError);
}

Result<std::vector<double>> to_doubles(PyObject* o) {
  std::vector<double> out;
  DenseArray a;
  if (is_ndarray(o) && import_float64(o, a) && a.shape.size() == 1) return std::move(a.data);
  TX_CHECK(each_item(o, [&](PyObject* item) -> Status {
    TX_TRY(const double d, to_double(item));
    out.push_back(d);
    return Ok{};
  }));
  return out;
}

Result<std::vector<std::uint64_t>> to_uints(PyObject* o) {
  std::vector<std::uint64_t> out;
  // A 1-D uint64 NumPy array (as to_dict gives), of any stride.
  if (is_ndarray(o)) {
    nb::ndarray<const std::uint64_t, nb::ndim<1>, nb::device::cpu> arr;
    if (nb::try_cast(nb::handle(o), arr, false)) {
      out.resize(arr.shape(0));
      for (std::size_t i = 0; i < out.size(); ++i)
        std::memcpy(&out[i], arr.data() + arr.stride(0) * std::int64_t(i), 8);
      return out;
    }
    PyErr_Clear();
  }
  TX_CHECK(each_item(o, [&](PyObject* item) -> Status {
    TX_TRY(const std::uint64_t u, to_uint(item));
    out.push_back(u);
    return Ok{};
  }));
  return out;
}

Result<ValuesByName> to_values_by_name(PyObject* o) {
  ValuesByName out;
  TX_CHECK(each_entry(o, [&](std::string name, PyObject* v) -> Status {
    TX_TRY(auto values, to_doubles(v));
    out[std::move(name)] = std::move(values);
    return Ok{};
  }));
  return out;
}

Result<IndexLists> to_index_lists(PyObject* o) {
  IndexLists out;
  TX_CHECK(each_item(o, [&](PyObject* item) -> Status {
    TX_TRY(auto l, to_uints(item));
    out.push_back(std::move(l));
    return Ok{};
  }));
  return out;
}

Result<std::map<std::string, IndexLists>> to_forall_map(PyObject* o) {
  std::map<std::string, IndexLists> out;
  TX_CHECK(each_entry(o, [&](std::string name, PyObject* v) -> Status {
    TX_TRY(auto lists, to_index_lists(v));
    out[std::move(name)] = std::move(lists);
    return Ok{};
  }));
  return out;
}

Result<std::vector<ValuesByName>> to_values_list(PyObject* o) {
  std::vector<ValuesByName> out;
  TX_CHECK(each_item(o, [&](PyObject* item) -> Status {
    TX_TRY(auto m, to_values_by_name(item));
    out.push_back(std::move(m));
    return Ok{};
  }));
  return out;
}

Result<std::optional<double>> to_optional_double(PyObject* o) {
  if (!o || o == Py_None) return std::optional<double>();
  TX_TRY(const double d, to_double(o));
  return std::optional<double>(d);
}

PyObject* solution_object(const Solution& s) {
  if (const auto* dense = std::get_if<DenseSolution>(&s)) return dict_of(*dense, list_of_arrays<DenseArray>);
  return dict_of(std::get<SparseSolution>(s), list_of_arrays<CooFormat>);
}

PyObject* float_array(const std::vector<double>& v) {
  const std::size_t shape[1] = {v.size()};
  return new_array(v.data(), v.size(), 1, shape);
}

PyObject* float_array(const DenseArray& a) {
  std::vector<std::size_t> shape(a.shape.begin(), a.shape.end());
  return new_array(a.data.data(), a.data.size(), shape.size(), shape.data());
}

PyObject* float_list(const std::vector<double>& v) { return sequence_of(v, v.size(), PyFloat_FromDouble); }

PyObject* int_list(const std::vector<std::uint64_t>& v) {
  return sequence_of(v, v.size(), PyLong_FromUnsignedLongLong);
}

PyObject* float_arrays_by_name(const ValuesByName& m) {
  return dict_of(m, [](const std::vector<double>& v) { return float_array(v); });
}

PyObject* forall_arrays(const std::map<std::string, IndexLists>& m) {
  return dict_of(m, [](const IndexLists& lists) -> PyObject* {
    auto width = index_list_width(lists);
    if (!width) return raise(width.error());
    std::vector<std::uint64_t> flat;
    flat.reserve(lists.size() * *width);
    for (const auto& l : lists) flat.insert(flat.end(), l.begin(), l.end());
    const std::size_t shape[2] = {lists.size(), *width};
    return new_array(flat.data(), flat.size(), 2, shape);
  });
}

PyObject* values_list(const std::vector<ValuesByName>& v) { return sequence_of(v, v.size(), float_arrays_by_name); }

PyObject* optional_float(const std::optional<double>& v) {
  if (!v) Py_RETURN_NONE;
  return PyFloat_FromDouble(*v);
}

PyObject* compare_result(int op, bool equal) {
  if (op == Py_EQ) return PyBool_FromLong(equal);
  return PyBool_FromLong(!equal);
}

PyObject* refuse_ordering(int op, const char* cls) {
  static const char* const kSymbols[] = {"<", "<=", "==", "!=", ">", ">="};
  PyErr_Format(PyExc_TypeError, "Comparison '%s' not supported for %s", kSymbols[op], cls);
  return nullptr;
}

int refuse_delete() {
  PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
  return -1;
}

bool extract_json_text(PyObject* args, PyObject* kwargs, const char* fn, std::string& out) {
  static const char* const kw[] = {"json", nullptr};
  PyObject* json = nullptr;
  const std::string format = std::string("O:") + fn;
  if (!parse_args(args, kwargs, format.c_str(), kw, &json)) return false;
  return extract_str(json, "json", out);
}

PyObject* extract_dict_arg(PyObject* args, PyObject* kwargs, const char* fn) {
  static const char* const kw[] = {"dict", nullptr};
  PyObject* dict = nullptr;
  const std::string format = std::string("O:") + fn;
  if (!parse_args(args, kwargs, format.c_str(), kw, &dict)) return nullptr;
  if (!PyDict_Check(dict)) {
    raise_argument("dict", ErrorKind::Type,
                   std::string("'") + tp_name(dict) + "' object cannot be converted to 'PyDict'");
    return nullptr;
  }
  return dict;
}

}  // namespace tarvex::py
