// generate_package OUT.dotm [--descriptors]: writes a realistic ~100 MB package of ~200 parts.
#include <cstdio>
#include <string_view>

#include "bench/engine/package_generator.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3 || (argc == 3 && std::string_view(argv[2]) != "--descriptors")) {
    std::fprintf(stderr, "usage: %s OUT.dotm [--descriptors]\n", argv[0]);
    return 2;
  }
  const bool descriptors = argc == 3;
  if (!enginebench::GeneratePackage(argv[1], enginebench::RealisticLayout(descriptors))) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
