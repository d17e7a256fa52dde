#include "engine/package_saver.h"

#include <system_error>

#include "engine/working_folder.h"
#include "platform/temp_folder.h"
#include "platform/text.h"
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

  bool MoveOnto(const fs::path& target) {
    std::error_code ec;
    // The temporary file was made owner-only; the saved package gets the usual permissions.
    fs::permissions(path_,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    fs::perm_options::replace, ec);
    fs::rename(path_, target, ec);
    if (ec) return false;
    path_.clear();
    return true;
  }

 private:
  fs::path path_;
};

}  // namespace

bool SavePackage(const fs::path& fileFolder, const fs::path& target) {
  // A missing file folder would give an empty package that claims to be the repaired file.
  if (!IsRealFolder(fileFolder)) return false;
  const std::string prefix = "." + platform::Utf8FromPath(target.filename()) + ".";
  auto created = platform::CreateTempFile(target.parent_path(), prefix);
  if (!created) return false;
  TemporaryPackage temporary(created->path);

  // The packer writes into the file exactly as it was created: reopening it by name would
  // follow whatever stands under that name by then.
  zip::FolderPacker packer;
  const std::uint32_t result =
      packer.PackFolder(fileFolder, std::move(created->file), temporary.Path());
  if (result != zip::kZipOk || packer.FailedAdds() > 0) return false;
  return temporary.MoveOnto(target);
}

}  // namespace engine
