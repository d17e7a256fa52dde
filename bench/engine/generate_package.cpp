// generate_package OUT.dotm [--descriptors | --xml]: writes a realistic ~100 MB package of ~200
// parts (sizes in the local headers, or only in data descriptors), or the extraction
// benchmark's package of 200 deflated XML parts of 512 KiB.
#include <cstdio>
#include <string_view>

#include "bench/engine/package_generator.h"

int main(int argc, char** argv) {
  const std::string_view option = argc == 3 ? argv[2] : "";
  if (argc < 2 || argc > 3 || (argc == 3 && option != "--descriptors" && option != "--xml")) {
    std::fprintf(stderr, "usage: %s OUT.dotm [--descriptors | --xml]\n", argv[0]);
    return 2;
  }
  const auto layout = option == "--xml" ? enginebench::XmlLayout()
                                        : enginebench::RealisticLayout(option == "--descriptors");
  if (!enginebench::GeneratePackage(argv[1], layout)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
