// The file list of the workspace: selecting, dropping and removing packages.
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
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
#include "widgets/file_dialogs.h"
#include "widgets/picture_box.h"
#include "widgets/prompt_edit.h"
#include "widgets/tessel_list_ctrl.h"
#include "workspace/control_ids.h"
#include "workspace/tessel_view.h"

namespace fs = std::filesystem;
using guitest::Find;
using guitest::Qs;

namespace {

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

// Drags paths over target and drops them, the source offering the actions given; returns the
// action the target chose (Qt::IgnoreAction when it refused).
Qt::DropAction SendDrop(QWidget* target, const QStringList& paths,
                        Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& path : paths)
    urls << QUrl::fromLocalFile(path);
  mime.setUrls(urls);
  const QPoint point(target->width() / 2, 60);
  QDragEnterEvent enter(point, offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  QDropEvent drop(point, offered, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  if (!enter.isAccepted() || !drop.isAccepted()) return Qt::IgnoreAction;
  if (enter.dropAction() != drop.dropAction()) return Qt::IgnoreAction;
  return drop.dropAction();
}

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

  std::atomic<int> running_{0};
  std::unique_ptr<CTesselMSOfficeDotmProjView> view_;
  std::unique_ptr<guitest::MessageRecorder> messages_;
  std::unique_ptr<guitest::DialogAnswers> dialogs_;

  void Select(const QStringList& paths) {
    dialogs_->openPaths = paths;
    view_->OnSelectFiles();
  }

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

  void selectionListsPaths() {
    Select({"/data/one.dotm", "/data/two.dotm"});
    CTesselListCtrl* list = view_->List();
    QCOMPARE(list->RowCount(), 2);
    QCOMPARE(list->RowText(1), QString("/data/two.dotm"));
    QCOMPARE(list->RowImage(0), 2);
    QCOMPARE(LogText(view_.get()), Qs(engine::kLogSelectedText));
    QCOMPARE(view_->Preview()->HintIndex(), 1);
    QVERIFY(messages_->messages.empty());
    QCOMPARE(view_->OnShowItemPreview(0), 0);  // not repaired yet
    QCOMPARE(view_->Preview()->HintIndex(), 5);
  }

  // Duplicates compare without case; the message names the newly chosen path.
  void duplicates_data() {
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("case differs") << QStringList{"d:/X/a.DOTM"} << QStringList{"D:/x/A.dotm"} << 1
                                  << QStringList{"D:/x/A.dotmalready exist in the list."};
    const QStringList three{"/a/1.dotm", "/a/2.dotm", "/a/3.dotm"};
    QTest::newRow("three twice") << three << three << 3
                                 << QStringList{"/a/1.dotmalready exist in the list.",
                                                "/a/2.dotmalready exist in the list.",
                                                "/a/3.dotmalready exist in the list."};
    QTest::newRow("within one selection")
        << QStringList{"/a/1.dotm", "/A/1.DOTM", "/a/2.dotm"} << QStringList{} << 2
        << QStringList{"/A/1.DOTMalready exist in the list."};
  }
  void duplicates() {
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(int, rows);
    QFETCH(QStringList, texts);
    Select(first);
    if (!second.isEmpty()) Select(second);
    QCOMPARE(view_->List()->RowCount(), rows);
    QCOMPARE(messages_->Texts(), texts);
    QCOMPARE(messages_->messages[0].caption, QString("Brenvik Viva Zadado"));
    QCOMPARE(messages_->messages[0].style, 0x40u);
  }

  // After a repair a cancelled dialog changes nothing; a new selection starts a fresh list.
  void selectionAfterRepair() {
    Select({"/a/1.dotm", "/a/2.dotm"});
    view_->m_bListRepaired = 1;
    view_->EnableSaveControls(true);
    view_->SetLogText("kept");
    view_->ShowPreview(QString(), 3);
    const fs::path working = engine::GetWorkingFolder();
    QVERIFY(!working.empty());
    Touch(working / "1.dotm0" / "part.xml", "x");
    Select({});
    QCOMPARE(dialogs_->openCalls, 2);
    QCOMPARE(view_->List()->RowCount(), 2);
    QCOMPARE(view_->m_bListRepaired, 1);
    QCOMPARE(LogText(view_.get()), QString("kept"));
    QCOMPARE(view_->Preview()->HintIndex(), 3);
    QVERIFY(fs::exists(working));
    Select({"/a/2.dotm"});
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
    Select(paths);
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
    QCOMPARE(SendDrop(view_.get(), dropped), Qt::CopyAction);
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

  // Listing only reads a file: a drop is never taken as a move, which would let the file
  // manager delete the user's original.
  void dropActions_data() {
    QTest::addColumn<int>("offered");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("rows");
    QTest::newRow("copy or move") << int(Qt::CopyAction | Qt::MoveAction) << int(Qt::CopyAction)
                                  << 1;
    QTest::newRow("every action") << int(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
                                  << int(Qt::CopyAction) << 1;
    QTest::newRow("link or move") << int(Qt::LinkAction | Qt::MoveAction) << int(Qt::LinkAction)
                                  << 1;
    QTest::newRow("move only") << int(Qt::MoveAction) << int(Qt::IgnoreAction) << 0;
  }
  void dropActions() {
    QFETCH(int, offered);
    QFETCH(int, chosen);
    QFETCH(int, rows);
    const Qt::DropAction action =
        SendDrop(view_.get(), {"/in/a.dotm"}, Qt::DropActions::fromInt(offered));
    QCOMPARE(int(action), chosen);
    QCOMPARE(view_->List()->RowCount(), rows);
  }

  // Dropped paths are trimmed; the edits leave drops to the view.
  void dropTargets() {
    view_->DropPaths({"  /in/a.dotm \t"});
    QCOMPARE(view_->List()->RowText(0), QString("/in/a.dotm"));
    for (const char* id :
         {workspace_ids::kEditCtrl, workspace_ids::kRichEditCtrl, workspace_ids::kBrowseEditCtrl}) {
      QVERIFY2(!Find<QWidget>(view_.get(), id)->acceptDrops(), id);
    }
    QVERIFY(view_->acceptDrops());
  }

  void removingTheOnlyRowEmptiesTheWorkspace() {
    Select({"/a/1.dotm"});
    view_->EnableSaveControls(true);
    Find<CPromptEdit>(view_.get(), workspace_ids::kBrowseEditCtrl)->SetText("/out");
    const fs::path working = engine::GetWorkingFolder();
    Touch(working / "1.dotm0" / "a.xml", "x");
    SelectRows(view_->List(), {0});
    view_->OnRemoveFiles();
    QCOMPARE(view_->List()->RowCount(), 0);
    QVERIFY(!fs::exists(working));
    QVERIFY(view_->DestinationText().isEmpty());
    auto* box = Find<CPromptEdit>(view_.get(), workspace_ids::kBrowseEditCtrl);
    QVERIFY(box->text().isEmpty());  // emptied; the prompt, once gone, stays gone
    QVERIFY(!box->ShowingPrompt());
    QCOMPARE(view_->m_bCanSave, 0);
    QCOMPARE(view_->m_bCanRepair, 0);
    QVERIFY(!Find<QPushButton>(view_.get(), workspace_ids::kBtnSaveFiles)->isEnabled());
    QVERIFY(!Find<QPushButton>(view_.get(), workspace_ids::kBtnRecoverFiles)->isEnabled());
    QCOMPARE(view_->Preview()->HintIndex(), 0);
    QCOMPARE(LogText(view_.get()), Qs(engine::kLogIdleText));
    QCOMPARE(Find<QTextEdit>(view_.get(), workspace_ids::kRichEditCtrl)->toPlainText(),
             Qs(engine::kInstructionIdle));
  }

  // Without renaming, the rows that move up would find their neighbour's extraction.
  void removingRowsKeepsEachRowsOwnFolder() {
    QTemporaryDir packages;
    const QString p = packages.path();
    Select({p + "/A.dotm", p + "/B.dotm", p + "/C.dotm", p + "/D.dotm"});
    view_->List()->clearSelection();
    view_->OnRemoveFiles();
    QCOMPARE(messages_->Texts(), QStringList{"No file(s) selected to remove."});
    QCOMPARE(view_->List()->RowCount(), 4);
    const fs::path working = engine::GetWorkingFolder();
    for (const char* row : {"A.dotm0", "B.dotm1", "C.dotm2", "D.dotm3"})
      Touch(working / row / "word" / "media" / "i.png", std::string(1, row[0]));
    SelectRows(view_->List(), {0, 2});
    view_->OnRemoveFiles();
    QCOMPARE(view_->List()->RowCount(), 2);
    QCOMPARE(view_->List()->RowText(0), p + "/B.dotm");
    QCOMPARE(view_->List()->RowText(1), p + "/D.dotm");
    QCOMPARE(view_->Preview()->HintIndex(), 3);  // asks for a click
    QCOMPARE(view_->m_bCanRepair, 1);
    for (const char* gone : {"A.dotm0", "C.dotm2", "D.dotm3"})
      QVERIFY2(!fs::exists(working / gone), gone);
    QCOMPARE(ReadAll(working / "B.dotm0" / "word" / "media" / "i.png"), std::string("B"));
    QCOMPARE(ReadAll(working / "D.dotm1" / "word" / "media" / "i.png"), std::string("D"));
    QCOMPARE(view_->OnShowItemPreview(1), 1);
    QCOMPARE(view_->Preview()->HintIndex(), 6);
    QVERIFY2(view_->Preview()->ImagePath().endsWith("D.dotm1/word/media/i.png"),
             qPrintable(view_->Preview()->ImagePath()));
  }

  // The folder's name is free when removal returns; its tree goes away in the background and
  // nothing beside it is touched.
  void removedFoldersAreDeletedOffTheGuiThread() {
    QTemporaryDir packages;
    const QString p = packages.path();
    Select({p + "/A.dotm", p + "/B.dotm"});
    const fs::path working = engine::GetWorkingFolder();
    for (int i = 0; i < 300; ++i)
      Touch(working / "A.dotm0" / "word" / ("part" + std::to_string(i) + ".xml"), "x");
    Touch(working / "B.dotm1" / "word" / "document.xml", "B");
    SelectRows(view_->List(), {0});
    view_->OnRemoveFiles();
    QVERIFY(!fs::exists(working / "A.dotm0"));
    QCOMPARE(ReadAll(working / "B.dotm0" / "word" / "document.xml"), std::string("B"));
    view_->FolderDisposer().WaitUntilIdle();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(working))
      left.push_back(entry.path().filename().string());
    QCOMPARE(left, std::vector<std::string>{"B.dotm0"});
    // What a stopped run left waiting goes too; anything else beside the folder stays.
    fs::path leftover = working;
    leftover += ".7.removing.trash";
    fs::path other = working;
    other += "-notes";
    Touch(leftover / "word" / "a.xml", "x");
    Touch(other / "keep.txt", "k");
    view_->FolderDisposer().DisposeLeftoversBeside(working);
    view_->FolderDisposer().WaitUntilIdle();
    QVERIFY(!fs::exists(leftover));
    QCOMPARE(ReadAll(other / "keep.txt"), std::string("k"));
    fs::remove_all(other);
  }

  // A path with markup characters shows as written in the duplicate message.
  void duplicateMessageShowsThePathAsWritten() {
    const QString odd = "/in/R&D <b>draft.dotm";
    Select({odd});
    Select({odd});
    QCOMPARE(messages_->Texts(),
             QStringList{"/in/R&amp;<span></span>D &lt;b&gt;draft.dotmalready exist in the list."});
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
    // The first browser had no destination to start at; the next ones start at the chosen one.
    QCOMPARE(dialogs_->folderStarts, (QStringList{QString(), destination.path()}));
  }

  // The dialogs themselves, as the user meets them.
  void dialogsStartWhereTheUserIs() {
    const std::unique_ptr<QFileDialog> open = MakeOpenPackagesDialog(nullptr);
    QCOMPARE(open->defaultSuffix(), QString("dotm"));
    QCOMPARE(open->nameFilters(), QStringList{"Dotm File (*.dotm)"});
    QCOMPARE(open->fileMode(), QFileDialog::ExistingFiles);
    open->setOption(QFileDialog::DontUseNativeDialog);
    auto* name = open->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(name);
    QCOMPARE(name->text(), QString("*.dotm"));

    QTemporaryDir destination;
    const std::unique_ptr<QFileDialog> folder =
        MakeFolderDialog(nullptr, "Select path to save repaired file(s)", destination.path());
    QCOMPARE(folder->directory().absolutePath(), QDir(destination.path()).absolutePath());
    QCOMPARE(folder->fileMode(), QFileDialog::Directory);
    QCOMPARE(folder->windowTitle(), QString("Select path to save repaired file(s)"));
    const std::unique_ptr<QFileDialog> nowhere =
        MakeFolderDialog(nullptr, "x", destination.path() + "/missing");
    QVERIFY(nowhere->directory().exists());
  }
};

BRENVIK_GUI_TEST_MAIN(FileListTest)
#include "file_list_test.moc"
