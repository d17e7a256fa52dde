// Placeholder until the scanner lands.
#include "engine/package_scanner.h"
namespace engine {
bool ScanPackage(const JobThreadParam&, std::string_view, ScanList&, std::size_t) { return false; }
}  // namespace engine
