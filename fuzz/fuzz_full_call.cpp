// libFuzzer target: the full pricing call on structurally consistent
// arguments made from the fuzzer's bytes (see call_builder.h).
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/call_builder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  morvik::fuzzing::FuzzCall call = morvik::fuzzing::BuildCall(data, size);
  const std::string fault = morvik::fuzzing::RunAndCheck(call);
  if (!fault.empty()) {
    std::fprintf(stderr, "full call check failed: %s\n", fault.c_str());
    std::abort();
  }
  return 0;
}
