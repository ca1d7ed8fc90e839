// libFuzzer target: the term-sheet layer on arbitrary text (read, schedule
// rules, past, explicit form, a short pricing and its reports; see
// term_sheet_checks.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz/term_sheet_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault =
      morvik::fuzzing::CheckTermSheetText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!fault.empty()) {
    std::fprintf(stderr, "term sheet check failed: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
