// A fresh empty working directory for the lifetime of the object: the
// previous one comes back and the directory, with everything in it, is
// removed at the end (write permission is given back first, so that a test
// may lock parts of it).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace morvik::support {

class TempCwd {
 public:
  explicit TempCwd(const std::string& prefix = "morvik_test") {
    std::error_code ec;
    old_ = std::filesystem::current_path(ec);
    std::string tmpl = (std::filesystem::temp_directory_path(ec) / (prefix + "_XXXXXX")).string();
    if (ec || mkdtemp(tmpl.data()) == nullptr) return;
    dir_ = tmpl;
    std::filesystem::current_path(dir_, ec);
    if (ec) {
      std::filesystem::remove_all(dir_, ec);
      dir_.clear();
    }
  }
  ~TempCwd() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    if (dir_.empty()) return;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (auto it = std::filesystem::recursive_directory_iterator(dir_, ec);
         it != std::filesystem::recursive_directory_iterator(); ++it)
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  TempCwd(const TempCwd&) = delete;
  TempCwd& operator=(const TempCwd&) = delete;

  bool ok() const { return !dir_.empty(); }
  bool empty() const { return std::filesystem::is_empty(dir_); }
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path old_, dir_;
};

}  // namespace morvik::support
