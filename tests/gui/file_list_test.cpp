// The file list of the workspace: selecting, dropping and removing packages.
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QUrl>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "engine/job_texts.h"
#include "engine/working_folder.h"
#include "tests/gui/gui_test_support.h"
#include "widgets/picture_box.h"
#include "widgets/prompt_edit.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace fs = std::filesystem;
using guitest::Find;

namespace {

QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), text.size());
}

QString LogText(QWidget* view) {
  return Find<QTextEdit>(view, workspace_ids::kEditCtrl)->toPlainText();
}

void Touch(const fs::path& file, const std::string& content) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << content;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void SelectRows(CTesselListCtrl* list, std::initializer_list<int> rows) {
  list->clearSelection();
  for (int row : rows)
    list->topLevelItem(row)->setSelected(true);
}

void SendDrop(QWidget* target, const QStringList& paths) {
  auto* mime = new QMimeData;
  QList<QUrl> urls;
  for (const QString& path : paths)
    urls << QUrl::fromLocalFile(path);
  mime->setUrls(urls);
  const QPoint point(target->width() / 2, 60);
  QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                        Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QCOMPARE(enter.dropAction(), Qt::MoveAction);
  QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  delete mime;
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

  std::atomic<int> running_{0};
  std::unique_ptr<CTesselMSOfficeDotmProjView> view_;
  std::unique_ptr<guitest::MessageRecorder> messages_;
  std::unique_ptr<guitest::DialogAnswers> dialogs_;

 private slots:
  void init() {
    messages_ = std::make_unique<guitest::MessageRecorder>();
    dialogs_ = std::make_unique<guitest::DialogAnswers>();
    view_ = std::make_unique<CTesselMSOfficeDotmProjView>(&running_);
    view_->resize(1000, 700);
  }
  void cleanup() {
    view_.reset();
    dialogs_.reset();
    messages_.reset();
  }

  void selectionListsPathsAndEnablesRepair() {
    dialogs_->openPaths = {"/data/one.dotm", "/data/two.dotm"};
    view_->OnSelectFiles();
    CTesselListCtrl* list = view_->List();
    QCOMPARE(list->RowCount(), 2);
    QCOMPARE(list->RowText(1), QString("/data/two.dotm"));
    QCOMPARE(list->RowImage(0), 2);
    QCOMPARE(view_->m_bCanRepair, 1);
    QCOMPARE(view_->m_bCanSave, 0);  // save controls keep their state
    QVERIFY(Find<QPushButton>(view_.get(), workspace_ids::kBtnRecoverFiles)->isEnabled());
    QVERIFY(Find<QPushButton>(view_.get(), workspace_ids::kBtnRemoveFiles)->isEnabled());
    QCOMPARE(LogText(view_.get()), Qs(engine::kLogSelectedText));
    QCOMPARE(view_->Preview()->HintIndex(), 1);
    QVERIFY(messages_->messages.empty());
  }

  void duplicateNamesTheNewlyChosenPath() {
    dialogs_->openPaths = {"d:/X/a.DOTM"};
    view_->OnSelectFiles();
    dialogs_->openPaths = {"D:/x/A.dotm"};
    view_->OnSelectFiles();
    QCOMPARE(view_->List()->RowCount(), 1);
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QCOMPARE(messages_->messages[0].text, QString("D:/x/A.dotmalready exist in the list."));
    QCOMPARE(messages_->messages[0].caption, QString("Brenvik Viva Zadado"));
    QCOMPARE(messages_->messages[0].style, 0x40u);
  }

  void sameThreeFilesTwiceGiveThreeMessages() {
    dialogs_->openPaths = {"/a/1.dotm", "/a/2.dotm", "/a/3.dotm"};
    view_->OnSelectFiles();
    view_->OnSelectFiles();
    QCOMPARE(view_->List()->RowCount(), 3);
    QCOMPARE(messages_->messages.size(), std::size_t{3});
    QCOMPARE(messages_->messages[2].text, QString("/a/3.dotmalready exist in the list."));
  }

  void duplicatesWithinOneSelectionAreListedOnce() {
    dialogs_->openPaths = {"/a/1.dotm", "/A/1.DOTM", "/a/2.dotm"};
    view_->OnSelectFiles();
    QCOMPARE(view_->List()->RowCount(), 2);
    QCOMPARE(messages_->Texts(), QStringList{"/A/1.DOTMalready exist in the list."});
  }

  void cancelledDialogChangesNothing() {
    dialogs_->openPaths = {"/a/1.dotm"};
    view_->OnSelectFiles();
    view_->m_bListRepaired = 1;
    view_->SetLogText("kept");
    view_->ShowPreview(QString(), 3);
    dialogs_->openPaths = {};
    view_->OnSelectFiles();
    QCOMPARE(dialogs_->openCalls, 2);
    QCOMPARE(view_->List()->RowCount(), 1);
    QCOMPARE(view_->m_bListRepaired, 1);
    QCOMPARE(LogText(view_.get()), QString("kept"));
    QCOMPARE(view_->Preview()->HintIndex(), 3);
  }

  void selectionAfterRepairStartsAFreshList() {
    dialogs_->openPaths = {"/a/1.dotm", "/a/2.dotm"};
    view_->OnSelectFiles();
    view_->m_bListRepaired = 1;
    view_->EnableSaveControls(true);
    const fs::path working = engine::GetWorkingFolder();
    QVERIFY(!working.empty());
    Touch(working / "1.dotm0" / "part.xml", "x");
    dialogs_->openPaths = {"/a/2.dotm"};
    view_->OnSelectFiles();
    QCOMPARE(view_->List()->RowCount(), 1);
    QVERIFY(messages_->messages.empty());  // re-selecting a listed file: no message
    QCOMPARE(view_->m_bListRepaired, 0);
    QVERIFY(!fs::exists(working));   // earlier results are discarded
    QCOMPARE(view_->m_bCanSave, 1);  // but Save stays allowed
  }

  void moreThanAHundredPathsTakeTheFirstHundred() {
    QStringList paths;
    for (int i = 0; i < 105; ++i)
      paths << QString("/many/%1.dotm").arg(i);
    dialogs_->openPaths = paths;
    view_->OnSelectFiles();
    QCOMPARE(view_->List()->RowCount(), 100);
    QCOMPARE(view_->List()->RowText(99), QString("/many/99.dotm"));
    QCOMPARE(messages_->messages.size(), std::size_t{1});
    QVERIFY(messages_->messages[0].text.contains("first 100 of the 105"));
  }

  void drops_data() {
    QTest::addColumn<QStringList>("dropped");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("dotm in a folder name")
        << QStringList{"/in/x.dotm.d/notes.txt"} << QStringList{"/in/x.dotm.d/notes.txt"};
    QTest::newRow("upper-case extension") << QStringList{"/in/A.DOTM"} << QStringList{};
    QTest::newRow("same file twice")
        << QStringList{"/in/a.dotm", "/in/a.dotm"} << QStringList{"/in/a.dotm", "/in/a.dotm"};
    QTest::newRow("mixed") << QStringList{"/in/a.docx", "/in/b.dotm"} << QStringList{"/in/b.dotm"};
  }
  void drops() {
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, listed);
    SendDrop(view_.get(), dropped);
    QStringList rows;
    for (int i = 0; i < view_->List()->RowCount(); ++i)
      rows << view_->List()->RowText(i);
    QCOMPARE(rows, listed);
    // Dropping lists only: flags, log and preview stay.
    QCOMPARE(view_->m_bCanRepair, 0);
    QCOMPARE(LogText(view_.get()), Qs(engine::kLogIdleText));
    QCOMPARE(view_->Preview()->HintIndex(), 0);
    QVERIFY(messages_->messages.empty());
  }

  void droppedPathsAreTrimmed() {
    view_->DropPaths({"  /in/a.dotm \t"});
    QCOMPARE(view_->List()->RowText(0), QString("/in/a.dotm"));
  }

  void editsLeaveDropsToTheView() {
    for (const char* id :
         {workspace_ids::kEditCtrl, workspace_ids::kRichEditCtrl, workspace_ids::kBrowseEditCtrl}) {
      QVERIFY2(!Find<QWidget>(view_.get(), id)->acceptDrops(), id);
    }
    QVERIFY(view_->acceptDrops());
  }

  void removeWithoutSelectionTellsTheUser() {
    dialogs_->openPaths = {"/a/1.dotm"};
    view_->OnSelectFiles();
    view_->List()->clearSelection();
    view_->OnRemoveFiles();
    QCOMPARE(messages_->Texts(), QStringList{"No file(s) selected to remove."});
    QCOMPARE(view_->List()->RowCount(), 1);
  }

  void removingTheOnlyRowEmptiesTheWorkspace() {
    dialogs_->openPaths = {"/a/1.dotm"};
    view_->OnSelectFiles();
    view_->EnableSaveControls(true);
    Find<CPromptEdit>(view_.get(), workspace_ids::kBrowseEditCtrl)->SetText("/out");
    const fs::path working = engine::GetWorkingFolder();
    Touch(working / "1.dotm0" / "a.xml", "x");
    SelectRows(view_->List(), {0});
    view_->OnRemoveFiles();
    QCOMPARE(view_->List()->RowCount(), 0);
    QVERIFY(!fs::exists(working));
    QVERIFY(view_->DestinationText().isEmpty());
    QCOMPARE(view_->m_bCanSave, 0);
    QCOMPARE(view_->m_bCanRepair, 0);
    QVERIFY(!Find<QPushButton>(view_.get(), workspace_ids::kBtnSaveFiles)->isEnabled());
    QVERIFY(!Find<QPushButton>(view_.get(), workspace_ids::kBtnRecoverFiles)->isEnabled());
    QCOMPARE(view_->Preview()->HintIndex(), 0);
    QCOMPARE(LogText(view_.get()), Qs(engine::kLogIdleText));
    QCOMPARE(Find<QTextEdit>(view_.get(), workspace_ids::kRichEditCtrl)->toPlainText(),
             Qs(engine::kInstructionIdle));
  }

  void removingSomeRowsKeepsTheRestAndAsksForAClick() {
    dialogs_->openPaths = {"/a/1.dotm", "/a/2.dotm", "/a/3.dotm", "/a/4.dotm"};
    view_->OnSelectFiles();
    SelectRows(view_->List(), {1, 3});
    view_->OnRemoveFiles();
    QCOMPARE(view_->List()->RowCount(), 2);
    QCOMPARE(view_->List()->RowText(0), QString("/a/1.dotm"));
    QCOMPARE(view_->List()->RowText(1), QString("/a/3.dotm"));
    QCOMPARE(view_->Preview()->HintIndex(), 3);
    QCOMPARE(view_->m_bCanRepair, 1);
  }

  // Without renaming, the rows that move up would find their neighbour's extraction.
  void removingRowZeroKeepsEachRowsOwnFolder() {
    QTemporaryDir packages;
    dialogs_->openPaths = {packages.path() + "/A.dotm", packages.path() + "/B.dotm",
                           packages.path() + "/C.dotm"};
    view_->OnSelectFiles();
    const fs::path working = engine::GetWorkingFolder();
    Touch(working / "A.dotm0" / "word" / "media" / "a.png", "A");
    Touch(working / "B.dotm1" / "word" / "media" / "b.png", "B");
    Touch(working / "C.dotm2" / "word" / "media" / "c.png", "C");
    SelectRows(view_->List(), {0});
    view_->OnRemoveFiles();
    QVERIFY(!fs::exists(working / "A.dotm0"));
    QCOMPARE(ReadAll(working / "B.dotm0" / "word" / "media" / "b.png"), std::string("B"));
    QCOMPARE(ReadAll(working / "C.dotm1" / "word" / "media" / "c.png"), std::string("C"));
    QVERIFY(!fs::exists(working / "C.dotm2"));
    QCOMPARE(view_->OnShowItemPreview(0), 1);
    QCOMPARE(view_->Preview()->HintIndex(), 6);
    QVERIFY2(view_->Preview()->ImagePath().endsWith("B.dotm0/word/media/b.png"),
             qPrintable(view_->Preview()->ImagePath()));
  }

  void previewWithoutARepairSaysNotRepaired() {
    dialogs_->openPaths = {"/a/1.dotm"};
    view_->OnSelectFiles();
    QCOMPARE(view_->OnShowItemPreview(0), 0);
    QCOMPARE(view_->Preview()->HintIndex(), 5);
  }

  void browseTakesAnExistingFolderOnly() {
    QTemporaryDir destination;
    view_->EnableSaveControls(true);
    dialogs_->folder = "  " + destination.path() + " ";
    view_->OnBrowseFolder();
    QCOMPARE(dialogs_->folderTitles, QStringList{"Select path to save repaired file(s)"});
    QCOMPARE(view_->DestinationText(), destination.path());
    dialogs_->folder = destination.path() + "/missing";
    view_->OnBrowseFolder();
    QCOMPARE(view_->DestinationText(), destination.path());
  }
};

BRENVIK_GUI_TEST_MAIN(FileListTest)
#include "file_list_test.moc"
