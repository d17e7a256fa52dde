// Zip archive writer: creates a single-disk zip archive, adds files from disk one at a time
// (stored or deflated by name suffix), and writes the central directory and end record.
//
// Calling order: one ZipWriterCreate, any number of ZipWriterAddFile, one ZipWriterClose.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace zip {

// Result codes of the writer.
inline constexpr std::uint32_t kZipOk = 0x00000000;           // success
inline constexpr std::uint32_t kZipFileError = 0x00000200;    // archive cannot be created;
                                                              // source cannot be opened or read
inline constexpr std::uint32_t kZipWriteError = 0x00000400;   // a write fell short, or the
                                                              // encoder failed
inline constexpr std::uint32_t kZipTooLarge = 0x00001000;     // a size, offset or count the
                                                              // format cannot hold (4 GiB, 65535)
inline constexpr std::uint32_t kZipBadArgument = 0x00010000;  // no handle; empty name; name
                                                              // not convertible within 518 bytes
inline constexpr std::uint32_t kZipWrongHandle = 0x00080000;  // handle kind is not 2

const char* ZipResultText(std::uint32_t code);

struct ZipWriter;

struct ZipHandle {
  int kind = 2;  // 2: archive writer
  std::unique_ptr<ZipWriter> writer;
  ZipHandle();
  ~ZipHandle();
};

using ZipHandlePtr = std::unique_ptr<ZipHandle>;

// Creates (or replaces) the archive at path. Returns the handle, or null with *result set.
ZipHandlePtr ZipWriterCreate(const std::filesystem::path& path, std::uint32_t* result = nullptr);

// Writes the archive into output, a file already open for writing and still empty (such as a
// temporary file created exclusively); the handle owns it from now on and the file is never
// reopened by name, so a name swapped after the file was made cannot redirect the archive.
// kZipBadArgument (null handle) when output is not open or not empty; nothing is written then.
ZipHandlePtr ZipWriterCreate(platform::File output, std::uint32_t* result = nullptr);

// Adds the file at sourcePath under name (relative path, either separator). The name is
// converted to the narrow form one byte per character (characters above U+00FF refuse).
std::uint32_t ZipWriterAddFile(ZipHandle* handle, std::wstring_view name,
                               const std::filesystem::path& sourcePath);

// One file for ZipWriterAddFiles, and what became of it.
struct ZipAddItem {
  std::wstring name;
  std::filesystem::path source;
};
struct ZipAddResult {
  std::uint32_t result = kZipOk;
  std::string systemError;  // the system's text when reading the source or writing failed
  bool operator==(const ZipAddResult&) const = default;
};

// Adds every item in order and gives each one's result, exactly as ZipWriterAddFile called for
// each in turn would: the archive is byte for byte the same. With threads above 1 the sources
// are read and deflated on that many worker threads while this thread writes the archive in
// order; the writer still belongs to the calling thread alone.
std::vector<ZipAddResult> ZipWriterAddFiles(ZipHandle* handle, std::span<const ZipAddItem> items,
                                            unsigned threads);

// Writes the central directory and end record, closes the file and releases the handle.
std::uint32_t ZipWriterClose(ZipHandlePtr handle);

}  // namespace zip
