// Conversions shared by the sample-set classes: float64 and uint64 arrays through nanobind's
// ndarray support, number lists and name maps, and the objects holding each value class.
#pragma once

#include <Python.h>

#include <memory>
#include <optional>
#include <vector>

#include "lib/classes_py.hpp"
#include "sample_set/evaluation.hpp"
#include "sample_set/measuring_time.hpp"
#include "sample_set/record.hpp"

namespace tarvex::py {

// The Python objects. Record and Evaluation hold an immutable snapshot that a setter
// replaces whole, so a getter keeps its own reference while it builds Python objects.
struct RecordObject {
  std::shared_ptr<const Record> value;
};
struct EvaluationObject {
  std::shared_ptr<const Evaluation> value;
};
struct SolvingTimeObject {
  SolvingTime value;
};
struct SystemTimeObject {
  SystemTime value;
};
struct MeasuringTimeObject {
  MeasuringTime value;
};

// The value of an instance of the class, or nullptr for another object.
std::shared_ptr<const Record> as_record(PyObject* o);
std::shared_ptr<const Evaluation> as_evaluation(PyObject* o);
const SolvingTime* as_solving_time(PyObject* o);
const SystemTime* as_system_time(PyObject* o);
const MeasuringTime* as_measuring_time(PyObject* o);

// New Python objects (new reference; nullptr with an exception set). The values are taken
// by value: copied before the allocation, which may run Python code.
PyObject* wrap_record(Record r);
PyObject* wrap_evaluation(Evaluation e);
PyObject* wrap_solving_time(SolvingTime t);
PyObject* wrap_system_time(SystemTime t);
PyObject* wrap_measuring_time(MeasuringTime t);

// Python -> core. Errors are values; no Python exception is left set.
// A dict of str to lists of sparse tuples or of float64 arrays (the sparse reading first).
// With `json_lists`, as read back from JSON text: lists stand for the tuples and rectangular
// nested lists of numbers (None for NaN) or bare numbers for the arrays.
Result<Solution> to_solution(PyObject* o, bool json_lists = false);
// A non-str sequence of numbers (a float64 NumPy array qualifies).
Result<std::vector<double>> to_doubles(PyObject* o);
// A non-str sequence of non-negative ints (OverflowError for a negative one).
Result<std::vector<std::uint64_t>> to_uints(PyObject* o);
Result<ValuesByName> to_values_by_name(PyObject* o);
Result<IndexLists> to_index_lists(PyObject* o);
Result<std::map<std::string, IndexLists>> to_forall_map(PyObject* o);
Result<std::vector<ValuesByName>> to_values_list(PyObject* o);
// A number or None.
Result<std::optional<double>> to_optional_double(PyObject* o);

// core -> Python (new references).
PyObject* solution_object(const Solution& s);
PyObject* float_array(const std::vector<double>& v);
PyObject* float_array(const DenseArray& a);
PyObject* float_list(const std::vector<double>& v);
PyObject* int_list(const std::vector<std::uint64_t>& v);
PyObject* float_arrays_by_name(const ValuesByName& m);
// name -> 2-D uint64 array (TypeError for ragged index lists).
PyObject* forall_arrays(const std::map<std::string, IndexLists>& m);
PyObject* values_list(const std::vector<ValuesByName>& v);
PyObject* optional_float(const std::optional<double>& v);

// The dict forms (new references) and their readers (the argument a dict).
PyObject* record_dict(const Record& r);
Result<Record> record_from_dict(PyObject* d, bool json_lists);
PyObject* evaluation_dict(const Evaluation& e);
Result<Evaluation> evaluation_from_dict(PyObject* d);
PyObject* measuring_time_dict(const MeasuringTime& t);
Result<MeasuringTime> measuring_time_from_dict(PyObject* d);

// pandas.DataFrame tables (new references).
PyObject* record_frame(const Record& r);
PyObject* evaluation_frame(const Evaluation& e);

// Slot helpers: ordering refused with "Comparison '<op>' not supported for <cls>" when both
// sides are of the class; property deletion refused with "can't delete attribute".
PyObject* compare_result(int op, bool equal);
PyObject* refuse_ordering(int op, const char* cls);
int refuse_delete();
// The str argument `json` of from_json.
bool extract_json_text(PyObject* args, PyObject* kwargs, const char* fn, std::string& out);
// The dict argument `dict` of from_dict (borrowed).
PyObject* extract_dict_arg(PyObject* args, PyObject* kwargs, const char* fn);

}  // namespace tarvex::py
