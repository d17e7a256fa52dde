// Placeholder until part extraction lands.
#include "engine/part_extraction.h"
namespace engine {
std::optional<std::filesystem::path> SafePartPath(std::wstring_view) { return std::nullopt; }
bool MakePartFolders(JobView&, const std::filesystem::path&, const std::filesystem::path&) {
  return false;
}
bool ExtractPart(const std::filesystem::path&, const std::filesystem::path&, const PartEntry&,
                 const std::filesystem::path&) {
  return false;
}
std::size_t ExtractParts(JobView&, const std::filesystem::path&, std::string_view,
                         const ScanList&, const std::filesystem::path&) {
  return 0;
}
}  // namespace engine
