// Output files replaced in one step (a temporary file renamed over the
// target), the checks made before a run prices anything, and the removal of
// temporary files when a signal ends the process.
#include "tools/morvik-price/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace morvik {
namespace {

namespace fs = std::filesystem;

// The first bytes of the results CSV this tool (or the book runner) writes.
constexpr char kCsvStart[] = "note,pricing_date,";

// Temporary files a signal must remove: names owned by their OutputFile,
// which clears its slot before it frees the name.
constexpr int kSlots = 8;
std::atomic<const char*> gTemporaries[kSlots];
static_assert(std::atomic<const char*>::is_always_lock_free, "read from a signal handler");

int Register(const char* name) {
  for (int k = 0; k < kSlots; ++k) {
    const char* none = nullptr;
    if (gTemporaries[k].compare_exchange_strong(none, name)) return k;
  }
  return -1;  // more files than slots: an interrupt may leave this one behind
}

void Unregister(int slot) {
  if (slot >= 0) gTemporaries[slot].store(nullptr);
}

extern "C" void RemoveTemporariesAndDie(int sig) {
  for (auto& t : gTemporaries) {
    const char* name = t.load();
    if (name != nullptr) ::unlink(name);
  }
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

std::string Reason(int err) { return std::strerror(err); }

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The path as the file system resolves it, for comparing names of files
// that need not exist; empty when it cannot be worked out.
std::string Resolved(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? std::string() : p.string();
}

// Whether the input named `input` is the file `target` (stat of it, when
// it exists).
bool IsInput(const std::string& input, const std::string& target, const struct stat* st) {
  struct stat in {};
  if (input == "-") return st != nullptr && ::fstat(STDIN_FILENO, &in) == 0 && SameFile(in, *st);
  if (st != nullptr && ::stat(input.c_str(), &in) == 0 && SameFile(in, *st)) return true;
  const std::string a = Resolved(input);
  return !a.empty() && a == Resolved(target);
}

// Whether the regular file at `path` is empty or starts as a CSV of this
// tool.
bool ReplaceableText(const std::string& path, const std::string& start) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;  // unreadable: the rename below decides
  std::string head(start.size(), '\0');
  std::size_t got = 0;
  while (got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return got == 0 || (got == head.size() && head == start);
}

}  // namespace

OutputFile::~OutputFile() { Discard(); }

void OutputFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  Unregister(slot_);
  slot_ = -1;
  temporary_.clear();
}

bool OutputFile::Open(const std::string& path, const std::vector<std::string>& inputs, std::string& error,
                      const std::string& start) {
  Discard();
  path_ = path;
  const std::string name = "cannot write " + path + ": ";
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  const int statError = errno;
  for (const std::string& input : inputs) {
    if (IsInput(input, path, exists ? &st : nullptr)) {
      error = name + "it is " + (input == "-" ? "standard input" : "the term sheet " + input) +
              ", an input of this run; nothing written";
      return false;
    }
  }
  if (!exists) {
    struct stat link {};
    if (statError == ENOENT && ::lstat(path.c_str(), &link) == 0) {
      error = name + "it is a link to a file that does not exist";
      return false;
    }
    if (statError != ENOENT && statError != ENOTDIR) {  // a missing folder is named below
      error = name + Reason(statError);
      return false;
    }
    target_ = path;
  } else if (S_ISDIR(st.st_mode)) {
    error = name + "it is a folder";
    return false;
  } else if (S_ISREG(st.st_mode)) {
    if (!ReplaceableText(path, start.empty() ? std::string(kCsvStart) : start)) {
      error = name + "it exists and is not a CSV written by morvik-price (a term sheet?); it is left as it is";
      return false;
    }
    std::error_code ec;
    target_ = fs::canonical(path, ec).string();  // replace the file a link points to, not the link
    if (ec) {
      error = name + ec.message();
      return false;
    }
    keepMode_ = true;
    mode_ = st.st_mode & 07777;
  } else {
    // A device or a pipe: nothing to replace, written as a stream.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) {
      error = name + Reason(errno);
      return false;
    }
    return true;
  }

  // The folder must take a new file now, before hours of pricing.
  const fs::path target(target_);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0) {
    error = name + (errno == ENOENT ? "its folder " + folder.string() + " does not exist"
                                    : folder.string() + ": " + Reason(errno));
    return false;
  }
  if (!S_ISDIR(dir.st_mode)) {
    error = name + folder.string() + " is not a folder";
    return false;
  }
  std::string hidden = ".";
  hidden.append(target.filename().string()).append(".");
  const std::string stem = (folder / hidden).string();
  int why = 0;
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = stem + std::to_string(static_cast<long>(::getpid())) + "-" + std::to_string(attempt) + ".tmp";
    // Listed before it exists, so that a signal from now on removes it.
    slot_ = Register(temporary_.c_str());
    // 0666: the process's umask applies, as for any new file.
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      why = errno;
      Unregister(slot_);
      slot_ = -1;
      if (why != EEXIST) break;
    }
  }
  if (fd_ < 0) {
    temporary_.clear();
    error = name + "cannot create a file in " + folder.string() + ": " + Reason(why);
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string& error) {
  const std::string name = "cannot write " + path_ + ": ";
  if (fd_ < 0) {
    error = name + "not open";
    return false;
  }
  const std::string text = text_.str();
  std::size_t done = 0;
  int why = 0;
  while (done < text.size() && why == 0) {
    const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      why = errno;
    }
  }
  if (temporary_.empty()) {  // a device or a pipe
    if (::close(fd_) != 0 && why == 0) why = errno;
    fd_ = -1;
  } else {
    if (why == 0 && keepMode_ && ::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) why = errno;
    if (why == 0 && ::fsync(fd_) != 0) why = errno;
    if (::close(fd_) != 0 && why == 0) why = errno;
    fd_ = -1;
    if (why == 0 && ::rename(temporary_.c_str(), target_.c_str()) != 0) why = errno;
    if (why == 0) {
      Unregister(slot_);
      slot_ = -1;
      temporary_.clear();
    }
  }
  if (why != 0) {
    Discard();
    error = name + Reason(why) + (keepMode_ ? "; the previous file is unchanged" : "");
    return false;
  }
  return true;
}

void RemoveTemporaryFilesOnSignals() {
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = RemoveTemporariesAndDie;
    sigemptyset(&action.sa_mask);
    // A signal ignored at start (nohup, a background job) stays ignored.
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    ::sigaction(sig, &action, nullptr);
  }
}

}  // namespace morvik
