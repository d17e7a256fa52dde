// Placeholder until content-types restoration lands.
#include "engine/content_types.h"
namespace engine {
extern const unsigned char kStoredContentTypesBytes[];
extern const std::size_t kStoredContentTypesBytes_size;
std::span<const std::byte> StoredContentTypes() {
  return {reinterpret_cast<const std::byte*>(kStoredContentTypesBytes),
          kStoredContentTypesBytes_size};
}
int RestoreContentTypes(std::filesystem::path&) { return 0; }
}  // namespace engine
