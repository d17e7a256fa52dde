// Writes realistic packages for the benchmarks: deflated XML parts and large images (random,
// incompressible bytes, stored or deflated), optionally in the streaming layout where the local
// headers carry sizes 0 and a signed data descriptor follows each part's data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace enginebench {

struct PackageLayout {
  std::size_t xmlParts = 160;
  std::size_t xmlPartSize = 256 * 1024;  // uncompressed bytes of each XML part
  std::size_t imageParts = 46;
  std::size_t imageSize = 2 * 1024 * 1024;
  bool descriptors = false;  // sizes in data descriptors, local sizes 0
  int level = 8;             // deflate level
};

// The ~100 MB, ~200-part package that generate_package writes (46 images of 2 MiB and 160
// XML parts of 256 KiB: 100 MB on disk).
PackageLayout RealisticLayout(bool descriptors);

// 200 deflated XML parts of 512 KiB and nothing else: the extraction benchmark's package.
PackageLayout XmlLayout();

// Writes the package; false when the file cannot be written.
bool GeneratePackage(const std::filesystem::path& path, const PackageLayout& layout);

}  // namespace enginebench
