// Temporary folders for tests, benchmarks, fuzz targets and tools, and the environment that
// points the program's own temporary files into them.
//
// Every folder lives below the user's private temporary folder (owner-only), never directly in
// the shared one, so that another local user cannot plant links where a test writes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace testkit {

// A fresh folder of its own, removed with everything in it when the object goes. Throws
// std::runtime_error when no folder can be made (a test then fails with the reason).
class TempFolder {
 public:
  // A folder named prefix + a unique number below the user's private temporary folder as it was
  // when the first TempFolder was made: later changes of TMPDIR (which tests make to point the
  // program elsewhere) do not move where the next folders go.
  explicit TempFolder(std::string_view prefix = "test-");
  // The same below parent instead, for a benchmark that compares file systems.
  TempFolder(std::string_view prefix, const std::filesystem::path& parent);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The user's private temporary folder as it was when first asked for; throws when refused.
const std::filesystem::path& PrivateBaseFolder();

// While it lives, the variable the system temporary folder comes from (TMPDIR; TMP on Windows)
// names folder; the old value (or its absence) comes back afterwards.
class TempFolderOverride {
 public:
  explicit TempFolderOverride(const std::filesystem::path& folder);
  ~TempFolderOverride();
  TempFolderOverride(const TempFolderOverride&) = delete;
  TempFolderOverride& operator=(const TempFolderOverride&) = delete;

 private:
  std::optional<std::string> previous_;
};

// A process of the desktop program without a login session: the temporary folder
// (TMPDIR/TMP), XDG_CONFIG_HOME and XDG_RUNTIME_DIR (owner-only, as Qt wants it) point into a
// fresh folder of this process's own (the program deletes its working folder at start-up:
// parallel processes must not share one), and QT_QPA_PLATFORM is "offscreen" unless set to another.
// Must exist before the QApplication; it does not restore the environment, it ends with the
// process.
class IsolatedEnvironment {
 public:
  explicit IsolatedEnvironment(std::string_view prefix = "gui-");
  const std::filesystem::path& Root() const { return root_.Path(); }

 private:
  TempFolder root_;
};

}  // namespace testkit
