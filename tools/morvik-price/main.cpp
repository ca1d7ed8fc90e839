// morvik-price: price JSON term sheets from the command line.
#include <unistd.h>

#include <iostream>

#include "tools/morvik-price/app.h"

int main(int argc, char** argv) {
  return morvik::RunMorvikPriceGuarded(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
