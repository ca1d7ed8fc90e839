// The morvik-price command run from Python (python -m morvik price ...): the
// tool's own RunMorvikPrice, its output written to Python's file objects.
#include <streambuf>
#include <string>
#include <vector>

#include <pybind11/stl.h>

#include "bindings.h"
#include "tools/morvik-price/app.h"
#include "tools/morvik-price/output_file.h"

namespace morvik::python {
namespace {

// A stream buffer that hands what it holds to a Python file object on every
// flush (and at the end), taking the GIL for it: the command runs with the
// GIL released, and its progress line is written from the threads that price.
class PythonFileBuf : public std::streambuf {
 public:
  explicit PythonFileBuf(py::object file) : file_(std::move(file)) {}

 protected:
  int_type overflow(int_type c) override {
    if (c != traits_type::eof()) pending_.push_back(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    if (pending_.empty()) return 0;
    py::gil_scoped_acquire locked;
    try {
      const py::str text = py::reinterpret_steal<py::str>(
          PyUnicode_DecodeUTF8(pending_.data(), static_cast<py::ssize_t>(pending_.size()), "replace"));
      if (!text) throw py::error_already_set();
      file_.attr("write")(text);
      file_.attr("flush")();
    } catch (py::error_already_set& e) {
      e.discard_as_unraisable("morvik: writing the command's output");
      return -1;
    }
    pending_.clear();
    return 0;
  }

 private:
  py::object file_;
  std::string pending_;
};

}  // namespace

void BindCommand(py::module_& m) {
  m.def(
      "run_morvik_price",
      [](const std::vector<std::string>& args, py::object out, py::object err, bool terminal) {
        PythonFileBuf outBuf(std::move(out)), errBuf(std::move(err));
        std::ostream outStream(&outBuf), errStream(&errBuf);
        std::vector<const char*> argv{"morvik-price"};
        for (const std::string& a : args) argv.push_back(a.c_str());
        int status = kExitUnusable;
        {
          py::gil_scoped_release unlocked;
          // As the tool's main: nothing escapes, a failure is exit status 2.
          status = RunMorvikPriceGuarded(static_cast<int>(argv.size()), argv.data(), outStream, errStream, terminal);
          outStream.flush();
          errStream.flush();
        }
        return status;
      },
      py::arg("args"), py::arg("out"), py::arg("err"), py::arg("terminal"),
      "morvik-price with these arguments, writing to the file objects `out` and `err`; the exit status");
  m.def("remove_temporary_files_on_signals", &RemoveTemporaryFilesOnSignals,
        "SIGINT, SIGTERM and SIGHUP end the process as morvik-price's do, removing the temporary files of "
        "output files not yet complete (for python -m morvik price, a process of its own)");
}

}  // namespace morvik::python
