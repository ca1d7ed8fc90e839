// morvik-price: price JSON term sheets from the command line.
#include <unistd.h>

#include <iostream>

#include "tools/morvik-price/app.h"
#include "tools/morvik-price/output_file.h"

int main(int argc, char** argv) {
  morvik::RemoveTemporaryFilesOnSignals();
  return morvik::RunMorvikPriceGuarded(argc, argv, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
