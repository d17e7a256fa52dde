// Reads one damaged package without trusting its central directory or any size it states: the
// file is searched for local file headers, each is resolved against the evidence the package
// holds (see part_resolver.h), and every part found becomes a PartEntry. Headers inside a part
// already taken, or inside the central directory, are not headers. The file is read through one
// buffer in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "engine/job_param.h"
#include "engine/kept_streams.h"
#include "engine/part_entry.h"

namespace engine {

inline constexpr std::size_t kScanBufferSize = 1 << 20;

// partPath holds at most this many characters; longer names are cut.
inline constexpr std::size_t kMaxPartPathLength = 1023;

// The scan list text of a header's name bytes: one character per byte, ending at the first NUL
// byte (names were C strings), '/' replaced by '\\', cut to kMaxPartPathLength characters.
std::wstring PartPathFromNameBytes(std::span<const std::uint8_t> nameBytes);

// Scans the package at packagePath (UTF-8, exactly as listed) into scanList, logging
// " file is open....", " file is extracted...." and " file is closed...." through the view.
// Polls *param.pJobRunning while it searches and stops early when it reads 0.
// Returns false, after showing the system's error text, when the package cannot be opened.
// bufferSize is the read buffer; tests make it tiny so that signatures straddle its edges.
// When stoppedEarly is given it tells whether a stop request ended the scan before the end of
// the file, so that parts after that point were never looked for. When kept is given, the
// output of every stream inflated to find its end is kept there for ExtractParts.
bool ScanPackage(const JobThreadParam& param, std::string_view packagePath, ScanList& scanList,
                 std::size_t bufferSize = kScanBufferSize, bool* stoppedEarly = nullptr,
                 KeptStreams* kept = nullptr);

// ScanPackage reading the bytes of readPath (a restored copy of the package) while the log
// names packagePath.
bool ScanPackageFrom(const JobThreadParam& param, std::string_view packagePath,
                     const std::filesystem::path& readPath, ScanList& scanList,
                     std::size_t bufferSize = kScanBufferSize, bool* stoppedEarly = nullptr,
                     KeptStreams* kept = nullptr);

}  // namespace engine
