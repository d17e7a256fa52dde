#include "engine/package_saver.h"

#include <algorithm>
#include <string>
#include <system_error>

#include "engine/working_folder.h"
#include "platform/file.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
#include "zip/deflate_threads.h"
#include "zip/folder_packer.h"
#include "zip/zip_writer.h"

namespace engine {
namespace fs = std::filesystem;

namespace {

// Deletes the temporary file on every way out unless the rename took it.
class TemporaryPackage {
 public:
  explicit TemporaryPackage(fs::path path) : path_(std::move(path)) {}
  ~TemporaryPackage() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove(path_, ec);
  }
  TemporaryPackage(const TemporaryPackage&) = delete;
  TemporaryPackage& operator=(const TemporaryPackage&) = delete;

  const fs::path& Path() const { return path_; }

  // Renames the file onto target; on failure the system's text goes to *error.
  bool MoveOnto(const fs::path& target, std::string* error) {
    std::error_code ec;
    fs::rename(path_, target, ec);
    if (ec) {
      *error = ec.message();
      return false;
    }
    path_.clear();
    return true;
  }

 private:
  fs::path path_;
};

// The outcome of a packer result other than kZipOk: for the whole archive, or for one file.
SaveOutcome OutcomeOfPacking(std::uint32_t result) {
  switch (result) {
    case zip::kZipBadArgument:
      return SaveOutcome::kCannotCreate;  // the archive could not be started
    case zip::kZipTooLarge:
      return SaveOutcome::kTooLarge;
    default:
      return SaveOutcome::kWriteFailed;
  }
}

SaveOutcome OutcomeOfFailedAdd(std::uint32_t result) {
  switch (result) {
    case zip::kZipFileError:
      return SaveOutcome::kPartUnreadable;
    case zip::kZipTooLarge:
      return SaveOutcome::kTooLarge;
    default:
      return SaveOutcome::kWriteFailed;
  }
}

// A file's name relative to the file folder as the package would name it, "/" between
// folders, for the log: a control character (a line break in a damaged name) shows as "?" so
// that a name can never make a log line of its own.
std::string PartNameOf(std::wstring_view relativeName) {
  std::string name = platform::Utf8FromWide(relativeName);
  std::replace(name.begin(), name.end(), '\\', '/');
  std::replace_if(
      name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, '?');
  return name;
}

SaveResult Failure(SaveOutcome outcome, std::string systemError = {}) {
  return SaveResult{.outcome = outcome, .systemError = std::move(systemError), .leftOut = {}};
}

}  // namespace

SaveResult SavePackage(const fs::path& fileFolder, const fs::path& target) {
  return SavePackage(fileFolder, target, zip::DeflateThreadCount());
}

SaveResult SavePackage(const fs::path& fileFolder, const fs::path& target,
                       unsigned deflateThreads) {
  // A missing file folder would give an empty package that claims to be the repaired file.
  if (!IsRealFolder(fileFolder)) return Failure(SaveOutcome::kNoFileFolder);
  const std::string prefix = "." + platform::Utf8FromPath(target.filename()) + ".";
  auto created = platform::CreateTempFile(target.parent_path(), prefix);
  if (!created) return Failure(SaveOutcome::kCannotCreate, platform::LastErrorText());
  TemporaryPackage temporary(created->path);
  // The temporary file was made owner-only; the saved package gets what any new file of the
  // user's would get. Should the system refuse, the package stays owner-only, which loses
  // nothing.
  created->file.GiveUsualPermissions();

  // The packer writes into the file exactly as it was created: reopening it by name would
  // follow whatever stands under that name by then.
  zip::FolderPacker packer(deflateThreads);
  const std::uint32_t packed =
      packer.PackFolder(fileFolder, std::move(created->file), temporary.Path());
  if (packed != zip::kZipOk) {
    const bool systemFailure = packed == zip::kZipWriteError;
    return Failure(OutcomeOfPacking(packed),
                   systemFailure ? platform::LastErrorText() : std::string());
  }
  SaveResult result;
  for (const auto& failed : packer.Failures()) {
    // A name no package can hold loses that one part, never the whole package; any other file
    // that did not make it means the package is not what the file folder holds.
    if (failed.result != zip::kZipBadArgument) {
      return Failure(OutcomeOfFailedAdd(failed.result), failed.systemError);
    }
    result.outcome = SaveOutcome::kSavedPartly;
    result.leftOut.push_back(PartNameOf(failed.name));
  }
  std::string error;
  if (!temporary.MoveOnto(target, &error)) return Failure(SaveOutcome::kCannotReplace, error);
  return result;
}

}  // namespace engine
