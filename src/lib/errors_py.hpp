// Exception types of the module and the one place where error kinds become exceptions.
#pragma once

#include <Python.h>

#include "lib/result.hpp"

namespace tarvex::py {

// Created on first use and kept for the life of the process.
PyObject* modeling_error_type();
PyObject* serialization_error_type();
PyObject* deserialization_error_type();

// Sets the Python exception for `e` and returns nullptr, for `return raise(...)`.
std::nullptr_t raise(const Error& e);

// Raises a TypeError prefixed with the argument name, the way argument extraction
// reports a wrong value: "argument 'name': " + message.
std::nullptr_t raise_argument(const char* arg, ErrorKind kind, const std::string& message);

// Lets long core walks stop on Ctrl-C: they poll the interpreter's signal handlers. A handler
// runs arbitrary Python code, so a walk must hold its own references to what it walks.
void install_interrupt_hook();

// Re-raises the pending Python exception prefixed with the argument name.
std::nullptr_t prefix_pending(const char* arg);

}  // namespace tarvex::py
