/* The cheapest extension operation: a plain C type whose add slot allocates a new object.
   bench/table.py compiles it and uses its time per operation as the floor. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

typedef struct {
  PyObject_HEAD
  PyObject* left;
  PyObject* right;
} FloorObject;

static PyTypeObject FloorType;

static void floor_dealloc(FloorObject* self) {
  Py_XDECREF(self->left);
  Py_XDECREF(self->right);
  Py_TYPE(self)->tp_free((PyObject*)self);
}

static PyObject* floor_add(PyObject* a, PyObject* b) {
  FloorObject* out = PyObject_New(FloorObject, &FloorType);
  if (!out) return NULL;
  Py_INCREF(a);
  Py_INCREF(b);
  out->left = a;
  out->right = b;
  return (PyObject*)out;
}

static PyObject* floor_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  (void)args;
  (void)kwargs;
  FloorObject* out = (FloorObject*)type->tp_alloc(type, 0);
  return (PyObject*)out;
}

static PyNumberMethods floor_as_number = {.nb_add = floor_add};

static PyTypeObject FloorType = {
    PyVarObject_HEAD_INIT(NULL, 0).tp_name = "floor.Floor",
    .tp_basicsize = sizeof(FloorObject),
    .tp_dealloc = (destructor)floor_dealloc,
    .tp_as_number = &floor_as_number,
    .tp_flags = Py_TPFLAGS_DEFAULT,
    .tp_new = floor_new,
};

static struct PyModuleDef floor_module = {PyModuleDef_HEAD_INIT, "floor", NULL, -1, NULL};

PyMODINIT_FUNC PyInit_floor(void) {
  if (PyType_Ready(&FloorType) < 0) return NULL;
  PyObject* m = PyModule_Create(&floor_module);
  if (!m) return NULL;
  Py_INCREF(&FloorType);
  if (PyModule_AddObject(m, "Floor", (PyObject*)&FloorType) < 0) return NULL;
  return m;
}
