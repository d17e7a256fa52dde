// Placeholder until the zip writer lands.
#include "zip/zip_writer.h"
namespace zip {
struct ZipWriter {};
ZipHandle::ZipHandle() = default;
ZipHandle::~ZipHandle() = default;
const char* ZipResultText(std::uint32_t) { return ""; }
ZipHandlePtr ZipWriterCreate(const std::filesystem::path&, std::uint32_t* result) {
  if (result) *result = kZipFileError;
  return nullptr;
}
std::uint32_t ZipWriterAddFile(ZipHandle*, std::wstring_view, const std::filesystem::path&) {
  return kZipBadArgument;
}
std::uint32_t ZipWriterClose(ZipHandlePtr) { return kZipBadArgument; }
}  // namespace zip
