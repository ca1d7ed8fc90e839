// Ctrl-C during a long call: the library's stop hook, asked every so many
// paths from the pricing thread while the GIL is released, takes the GIL
// for a moment and runs Python's pending signal handlers. When one raises
// (KeyboardInterrupt for SIGINT), the call stops and its exception is
// raised once the call has returned.
#pragma once

#include <pybind11/pybind11.h>

namespace morvik::python {

namespace py = pybind11;

class Interrupt {
 public:
  // With the GIL held. Only Python's main thread runs signal handlers: on
  // any other thread the hook never stops the call.
  Interrupt();
  Interrupt(const Interrupt&) = delete;
  Interrupt& operator=(const Interrupt&) = delete;

  // The stop hook (ValuationOptions::stop, with this as its context):
  // called without the GIL, never throws.
  static bool Ask(void* self);
  bool Ask();

  // With the GIL held, after the call: raises the handler's exception when
  // the call was stopped by it (KeyboardInterrupt should the call report a
  // stop without one).
  void RaiseIfStopped(bool stopped);

 private:
  bool mainThread_ = false;
  py::object type_, value_, trace_;  // the handler's exception, set with the GIL held
};

}  // namespace morvik::python
