// Reading back the files the library writes: whole files, and the lines of
// a trace, which must all end in CR LF.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace morvik::support {

inline std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The lines of `text` split at CR LF. `crlfOnly` becomes false when the text
// does not end in CR LF or a line holds a bare CR or LF; an unterminated
// tail is still returned as the last line.
inline std::vector<std::string> SplitCrLf(const std::string& text, bool* crlfOnly) {
  std::vector<std::string> lines;
  *crlfOnly = true;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      *crlfOnly = false;
      lines.push_back(text.substr(start));
      break;
    }
    const std::string line = text.substr(start, end - start);
    if (line.find('\n') != std::string::npos || line.find('\r') != std::string::npos)
      *crlfOnly = false;
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

}  // namespace morvik::support
