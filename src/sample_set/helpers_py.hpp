// The embedded Python helpers (src/sample_set/helpers/*.py): each source is compiled and run
// once as a fresh module with an empty name, and its functions are kept for reuse.
#pragma once

#include <Python.h>

namespace tarvex::py {

// A borrowed reference to function `name` of the helper `source` (one of the constants of
// the generated helpers.hpp), or nullptr with the exception raised while running it (an
// ImportError for a missing package). A failure is not kept: the next call tries again.
PyObject* helper_function(const char* source, const char* name);

// Calls the function with the arguments (new reference, or nullptr with an exception).
PyObject* call_helper(const char* source, const char* name, PyObject* arg);
PyObject* call_helper(const char* source, const char* name, PyObject* arg1, PyObject* arg2);

}  // namespace tarvex::py
