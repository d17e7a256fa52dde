// The file list: selecting, dropping and removing packages, and the destination folder.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <string>
#include <vector>

#include "engine/job_texts.h"
#include "engine/working_folder.h"
#include "platform/text.h"
#include "widgets/app_message_box.h"
#include "widgets/file_dialogs.h"
#include "widgets/prompt_edit.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/tessel_view.h"

namespace {

const QString kCaption = QStringLiteral("Brenvik Viva Zadado");

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The wait cursor for the length of one operation, the dialog included.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

bool FolderExists(const std::filesystem::path& folder) {
  std::error_code error;
  return !folder.empty() && std::filesystem::is_directory(folder, error);
}

}  // namespace

void CTesselMSOfficeDotmProjView::OnSelectFiles() {
  WaitCursor wait;
  const QStringList paths = AskOpenPackages(this);
  if (paths.isEmpty()) return;  // cancelled: nothing changes
  if (FolderExists(engine::GetWorkingFolder())) DiscardWorkingFolder();
  if (m_bListRepaired) {
    list_->DeleteAllRows();
    m_bListRepaired = 0;
  }
  SetLogText(FromView(engine::kLogSelectedText));
  ShowPreview(QString(), engine::kPreviewSelect);
  AddSelectedPaths(paths);
  EnableRepair(true);
}

void CTesselMSOfficeDotmProjView::AddSelectedPaths(const QStringList& paths) {
  const QStringList taken = paths.mid(0, kMaxSelectedFiles);
  for (const QString& path : taken) {
    if (IsNotInList(path)) {
      list_->AddRow(path, engine::kRowListed);
    } else {
      AppMessageBox(this, EscapeMessageText(path) + QStringLiteral("already exist in the list."),
                    kCaption, kMbIconInformation);
    }
  }
  if (paths.size() > kMaxSelectedFiles) {
    AppMessageBox(this,
                  tr("Only the first %1 of the %2 selected file(s) were added to the list.<br>"
                     "Please select the remaining file(s) again.")
                      .arg(kMaxSelectedFiles)
                      .arg(paths.size()),
                  kCaption, kMbIconInformation);
  }
}

int CTesselMSOfficeDotmProjView::IsNotInList(const QString& path) const {
  int notListed = 1;
  // Every row is compared, as the list's contract says; lists are short.
  for (int row = 0; row < list_->RowCount(); ++row) {
    if (list_->RowText(row).compare(path, Qt::CaseInsensitive) == 0) notListed = 0;
  }
  return notListed;
}

// Listing a file only reads it, so a drop is taken as a copy (or a link): a Move would let
// the file manager delete the user's files once the drop is done. A source that offers only
// Move is refused.
bool CTesselMSOfficeDotmProjView::AcceptAsCopy(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) return false;
  const Qt::DropActions offered = event->possibleActions();
  if (offered & Qt::CopyAction) {
    event->setDropAction(Qt::CopyAction);
  } else if (offered & Qt::LinkAction) {
    event->setDropAction(Qt::LinkAction);
  } else {
    event->ignore();
    return false;
  }
  event->accept();
  return true;
}

void CTesselMSOfficeDotmProjView::dragEnterEvent(QDragEnterEvent* event) {
  AcceptAsCopy(event);
}

void CTesselMSOfficeDotmProjView::dragMoveEvent(QDragMoveEvent* event) {
  AcceptAsCopy(event);
}

void CTesselMSOfficeDotmProjView::dropEvent(QDropEvent* event) {
  if (!AcceptAsCopy(event)) return;  // no file list, or only a move offered: ignored
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  DropPaths(paths);
}

void CTesselMSOfficeDotmProjView::DropPaths(const QStringList& paths) {
  // Dropping only lists: no duplicate check, and the flags, log and preview stay as they are.
  for (const QString& dropped : paths) {
    const QString path = dropped.trimmed();
    if (path.contains(QStringLiteral(".dotm"), Qt::CaseSensitive)) {
      list_->AddRow(path, engine::kRowListed);
    }
  }
}

void CTesselMSOfficeDotmProjView::OnRemoveFiles() {
  if (list_->SelectedRows().empty()) {
    AppMessageBox(this, tr("No file(s) selected to remove."), kCaption, kMbIconInformation);
    return;
  }
  for (std::vector<int> selected = list_->SelectedRows(); !selected.empty();
       selected = list_->SelectedRows()) {
    RemoveSelectedRow(selected.front());
  }
  if (list_->RowCount() > 0) {
    ShowPreview(QString(), engine::kPreviewClickRow);
  } else {
    ReturnToEmptyState();
  }
}

void CTesselMSOfficeDotmProjView::RemoveSelectedRow(int row) {
  ShowPreview(QString(), engine::kPreviewImage);
  const std::filesystem::path working = engine::GetWorkingFolder();
  const std::string text = list_->RowText(row).toStdString();
  // Without a working folder the file folder would be a relative path: delete nothing then.
  // Off the GUI thread: a large extraction took seconds to delete.
  if (!working.empty()) disposer_->Dispose(engine::FileFolderFor(working, text, row));
  list_->DeleteRow(row);
  if (working.empty()) return;
  // The rows behind moved up by one; their file folders follow, so that each row still finds
  // its own package's extraction (and not its neighbour's) by its index.
  std::vector<std::string> texts;
  texts.reserve(static_cast<std::size_t>(list_->RowCount()));
  for (int i = 0; i < list_->RowCount(); ++i)
    texts.push_back(list_->RowText(i).toStdString());
  engine::RenumberFileFolders(working, texts, row);
}

void CTesselMSOfficeDotmProjView::ReturnToEmptyState() {
  DiscardWorkingFolder();
  // An empty text, not a null one: the box is emptied (a null text would be ignored).
  pathBox_->SetText(QString(""));
  EnableSaveControls(false);
  EnableRepair(false);
  ShowPreview(QString(), engine::kPreviewNoFiles);
  SetLogText(FromView(engine::kLogIdleText));
  SetInstruction(FromView(engine::kInstructionIdle), engine::kInstructionEmptiedBold);
}

void CTesselMSOfficeDotmProjView::DiscardWorkingFolder() {
  // The preview lets go of any picture inside the folder first.
  ShowPreview(QString(), engine::kPreviewImage);
  const std::filesystem::path working = engine::GetWorkingFolder();
  if (!working.empty()) disposer_->Dispose(working);
}

void CTesselMSOfficeDotmProjView::OnBrowseFolder() {
  // The browser opens at the destination already chosen, when there is one.
  const QString folder =
      AskFolder(this, tr("Select path to save repaired file(s)"), DestinationText().trimmed())
          .trimmed();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) return;
  pathBox_->SetText(folder);
}
