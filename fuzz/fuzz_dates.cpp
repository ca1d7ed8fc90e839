// libFuzzer target: the calendar conversions and the day difference against
// their inverse, antisymmetry and day-count properties.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/date_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string fault = morvik::fuzzing::CheckDateBytes(data, size);
  if (!fault.empty()) {
    std::fprintf(stderr, "date property broken: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
