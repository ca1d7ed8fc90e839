// The files morvik-price writes (--csv): checked before any pricing, written
// to a temporary file beside the target and renamed over it when complete,
// so that a run that fails or is interrupted leaves the previous file as it
// was, and a path that names one of the run's inputs is refused.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace morvik {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~OutputFile();

  // Gets `path` ready to be written; false, with one sentence in `error`,
  // and nothing created when it cannot be. Refused: the same file as one of
  // `inputs` (after links; "-" is standard input), an existing file that is
  // not a CSV this tool wrote (a term sheet named by mistake), a folder, a
  // link to nothing, a path whose folder is missing or cannot take a new
  // file. A regular file (or a new one) is replaced in one step at Commit;
  // anything else that exists (a device such as /dev/null, a pipe) is opened
  // now and written at Commit. An existing file is taken for one this tool
  // wrote when it begins with `start` (empty: the results CSV's header).
  bool Open(const std::string& path, const std::vector<std::string>& inputs, std::string& error,
            const std::string& start = "");

  // What to write; held in memory until Commit.
  std::ostream& Stream() { return text_; }

  // Writes the text and puts the file in place (a new file gets the
  // permissions of any new file, a replaced one keeps its own). False, with
  // `error`, when that fails: the previous file is then unchanged.
  bool Commit(std::string& error);

 private:
  void Discard();

  std::string path_;       // as given, for messages
  std::string target_;     // the file replaced (links resolved)
  std::string temporary_;  // beside target_; empty when writing in place
  int fd_ = -1;
  int slot_ = -1;          // in the list of temporaries a signal removes
  bool keepMode_ = false;
  unsigned mode_ = 0;
  std::ostringstream text_;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of open
// OutputFiles before the process ends by the signal as it would have.
// For a program's main: a host process (Python) keeps its own handlers.
void RemoveTemporaryFilesOnSignals();

}  // namespace morvik
