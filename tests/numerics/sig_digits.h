// Formats a double the way reference values are quoted: 12 significant digits.
#pragma once

#include <cstdio>
#include <string>

namespace morvik_test {

inline std::string Sig12(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.12g", v);
  return buf;
}

}  // namespace morvik_test
