// Text-mode transfer damage: a package copied as text has every LF byte turned into CR LF, in
// its headers as much as in its data, so sizes and offsets no longer fit and most CRC-32s fail.
// The damage shows as a file in which no LF stands alone. It is undone on a copy of the file,
// written piece by piece beside the file folder: the CR before every LF is dropped, and the copy
// is kept only when more parts pass their CRC-32 in it than in the file as it is. Converters
// that leave an existing CR LF alone make each CR LF of a part that still fails a choice: the
// choices its CRC-32 can tell apart are tried, within kMaxChoiceAttempts and kMaxChoiceBytes.
// The reverse copy (every CR LF made LF, no CR LF left in the file) cannot be undone as a whole;
// the parts that fail their CRC-32 are tried with CRs put back before their LFs, within the
// same bounds, and a copy is written only when one of them comes back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>

namespace engine {

// Limits of the search among the CR LF choices of parts that fail their CRC-32, for one package:
// candidate copies tried, and bytes of candidates checked (CRC-32 or inflation) altogether.
inline constexpr std::size_t kMaxChoiceAttempts = 4096;
inline constexpr std::uint64_t kMaxChoiceBytes = 256ull << 20;
// A part larger than this (in the file) is not searched: every candidate is held in memory.
inline constexpr std::uint64_t kMaxChoicePartSize = 16ull << 20;
// Bytes of part data checked per copy to compare the file with its restored copy.
inline constexpr std::uint64_t kMaxComparedBytes = 64ull << 20;

struct TextModeRestoration {
  std::filesystem::path copy;      // the restored copy, to be read instead of the file
  std::size_t partsConfirmed = 0;  // parts whose CRC-32 the copy confirms (of those checked)
  std::size_t choicesTaken = 0;    // parts restored by keeping one of their CR LF pairs
  std::size_t attempts = 0;        // candidates tried in the choice search
};

// The file at package with its text-mode damage undone, written as a new file in folder; nothing
// when the file shows no such damage, or undoing it confirms no more parts than before.
// partsConfirmed counts what the check of the copy saw (up to kMaxComparedBytes of data). The
// caller removes the copy when done with it. maxAttempts bounds the choice search (tests make it
// small).
std::optional<TextModeRestoration> RestoreTextModeCopy(
    const std::filesystem::path& package, const std::filesystem::path& folder,
    std::size_t maxAttempts = kMaxChoiceAttempts);

}  // namespace engine
