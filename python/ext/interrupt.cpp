// Python's signal handlers run from the library's stop hook.
#include "interrupt.h"

namespace morvik::python {

Interrupt::Interrupt() {
  const py::object threading = py::module_::import("threading");
  mainThread_ = threading.attr("current_thread")().is(threading.attr("main_thread")());
}

bool Interrupt::Ask(void* self) { return static_cast<Interrupt*>(self)->Ask(); }

bool Interrupt::Ask() {
  if (!mainThread_) return false;
  py::gil_scoped_acquire locked;
  if (type_) return true;
  if (PyErr_CheckSignals() == 0) return false;
  PyObject *type = nullptr, *value = nullptr, *trace = nullptr;
  PyErr_Fetch(&type, &value, &trace);
  type_ = py::reinterpret_steal<py::object>(type);
  value_ = py::reinterpret_steal<py::object>(value);
  trace_ = py::reinterpret_steal<py::object>(trace);
  return true;
}

void Interrupt::RaiseIfStopped(bool stopped) {
  if (!stopped) return;
  if (!type_) {
    PyErr_SetNone(PyExc_KeyboardInterrupt);
    throw py::error_already_set();
  }
  PyErr_Restore(type_.release().ptr(), value_.release().ptr(), trace_.release().ptr());
  throw py::error_already_set();
}

}  // namespace morvik::python
