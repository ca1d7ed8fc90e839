// morvik-price: price JSON term sheets from the command line.
#include <unistd.h>

#include <exception>
#include <iostream>

#include "tools/morvik-price/app.h"

int main(int argc, char** argv) {
  try {
    return morvik::RunMorvikPrice(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  } catch (const std::exception& e) {
    std::cerr << "morvik-price: " << e.what() << "\n";
  } catch (...) {
    std::cerr << "morvik-price: unexpected failure\n";
  }
  return morvik::kExitUnusable;
}
