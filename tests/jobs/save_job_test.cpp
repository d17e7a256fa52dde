#include "engine/save_job.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "engine/job_texts.h"
#include "engine/media_lookup.h"
#include "engine/save_summary.h"
#include "platform/environment.h"
#include "platform/file.h"
#include "platform/test_helpers.h"
#include "testkit/zip_parse.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

class SaveJobTest : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    destination_ = Root() / "out";
    fs::create_directories(destination_);
  }

  // A row that the repair job marked repaired, with its file folder in place.
  void AddRepairedRow(RecordingView& view, const std::string& package) {
    const int index = static_cast<int>(view.rows.size());
    view.rows.push_back({package, engine::kRowRepaired, engine::kRowRepaired});
    FillFileFolder(FileFolder(package, index));
  }

  static void SaveTo(RecordingView& view, const fs::path& destination, bool media = false) {
    view.destination = destination.string();
    view.extractMedia = media;
  }

  fs::path destination_;
};

// A line between "starts" and "done": black unless given a colour.
struct Note {
  Note(const char* line, std::uint32_t lineColour = kBlack) : text(line), colour(lineColour) {}
  const char* text;
  std::uint32_t colour;
};

// A row's save lines: starts, the notes, then done (green) or failed (red), then stars.
std::vector<LogLine> RowLines(const std::string& p, bool saved,
                              std::initializer_list<Note> notes = {}) {
  std::vector<LogLine> lines{{p + " saving of file starts....\r\n", kBlack}};
  for (const Note& note : notes)
    lines.push_back({p + note.text, note.colour});
  lines.push_back(saved ? LogLine{p + " saving of file done....\r\n", kGreen}
                        : LogLine{p + " saving of file failed....\r\n", kRed});
  lines.push_back({kStars + "\r\n", kBlack});
  return lines;
}

// The destination is used as typed, without a trailing separator added.
TEST_F(SaveJobTest, RepairedRowIsSavedAndUnrepairedRowIsRefused) {
  const std::string typed = destination_.string();
  ASSERT_NE(typed.back(), '/');
  RecordingView view;
  SaveTo(view, typed);
  AddRepairedRow(view, "/in/Report.dotm");
  view.rows.push_back({"/in/Other.dotm", engine::kRowNotRepaired, engine::kRowNotRepaired});
  int result = -1;
  RunSave(view, &result);

  EXPECT_EQ(result, 1);
  EXPECT_EQ(view.Log(),
            Concat({RowLines("/in/Report.dotm", true),
                    {{"/in/Other.dotm cannot be saved,as it is not Repaired.\r\n", kRed},
                     {kStars + "\r\n", kBlack}},
                    SaveEndLines()}));
  EXPECT_EQ(EntryNames(destination_), std::vector<std::string>{"ZARVEL_Report.dotm"});
  EXPECT_EQ(PartNamesOf(destination_ / "ZARVEL_Report.dotm"), SamplePartNames());

  const auto calls = view.Calls();
  ASSERT_GE(calls.size(), 9u);
  const std::vector<std::string> start(calls.begin(), calls.begin() + 9);
  EXPECT_EQ(start, (std::vector<std::string>{
                       "SetProgressPos(file,0)", "SetProgressPos(total,0)", "EnableSaveControls(0)",
                       "ClearLog()", "EnableSelect(0)", "EnableRepair(0)",
                       "SetInstruction(Please wait while .dotm file(s) are saving....)",
                       "ShowStop(1)", "ShowProgressArea(0,1)"}));
  ASSERT_EQ(view.Messages().size(), 1u);
  // Not every row was saved, so the message says how many were and why the other was not.
  EXPECT_EQ(view.Messages()[0].text,
            "File(s) saving process has been completed: 1 of 2 file(s) saved.<br>Not saved: "
            "<b>file(s) not repaired</b><br>Saved file(s) location is:<br><a href='" +
                typed + "'>" + typed + "</a>");
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view.Messages()[0].style, 0x40u);
  EXPECT_EQ(view.instruction, engine::kInstructionSavedPartly);
  EXPECT_TRUE(view.canSave && view.canSelect && view.canRepair);
  EXPECT_FALSE(view.stopShown || view.totalBarShown);
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 2);
  EXPECT_EQ(running_.load(), 0);
  EXPECT_EQ(view.rows[0].data, 1);  // saving keeps the repair for another save
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kSave, 0, engine::RowResult::kWhole},
                                     {engine::JobKind::kSave, 1, engine::RowResult::kFailed}}));
}

TEST_F(SaveJobTest, MediaWanted) {
  const struct {
    const char *label, *note;
    std::vector<std::string> entries, media;
  } cases[] = {
      {"without images",
       " no media content is present in the file....\r\n",
       {"ZARVEL_Report.dotm"},
       {}},
      {"with images",
       " Media extraction is done....\r\n",
       {"Report.dotm_MediaContent", "ZARVEL_Report.dotm"},
       {"Thumb.JPEG", "image1.png"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / c.label;
    fs::create_directories(destination);
    RecordingView view;
    SaveTo(view, destination, true);
    if (c.media.empty()) {
      view.rows.push_back({"/in/Report.dotm", 1, 1});
      // The sample template without its picture: a package the self-check accepts.
      FillFileFolder(FileFolder("/in/Report.dotm", 0));
      fs::remove(FileFolder("/in/Report.dotm", 0) / "word" / "media" / "image1.png");
    } else {
      AddRepairedRow(view, "/in/Report.dotm");
      WriteFile(FileFolder("/in/Report.dotm", 0) / "docProps" / "Thumb.JPEG", Bytes{1, 2, 3});
    }
    RunSave(view);

    EXPECT_EQ(view.Log(), Concat({RowLines("/in/Report.dotm", true, {c.note}), SaveEndLines()}));
    EXPECT_EQ(EntryNames(destination), c.entries);
    if (!c.media.empty()) {
      EXPECT_EQ(EntryNames(destination / "Report.dotm_MediaContent"), c.media);
    }
  }
}

// What stands under "<name>_MediaContent" and was not made by this save is never deleted, and
// the log says when the images did not get there.
TEST_F(SaveJobTest, MediaFolderThatIsNotOursIsKept) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "links need a privilege here";
  const Note failed{" Media extraction failed....\r\n", kRed};
  const Note none{" no media content is present in the file....\r\n"};
  const Note done{" Media extraction is done....\r\n"};
  using Step = std::function<void(const fs::path& media, const fs::path& elsewhere)>;
  const struct {
    const char* label;
    bool images;
    Note note;
    engine::RowResult result;
    Step arrange, check;
  } cases[] = {
      {"a file of the user's", true, failed, engine::RowResult::kIncomplete,
       [this](const fs::path& media, const fs::path&) { WriteFile(media, "the user's notes"); },
       [](const fs::path& media, const fs::path&) {
         EXPECT_EQ(ReadText(media), "the user's notes");
       }},
      {"a link to a folder", true, failed, engine::RowResult::kIncomplete,
       [](const fs::path& media, const fs::path& elsewhere) {
         fs::create_directories(media.parent_path());
         fs::create_directory_symlink(elsewhere, media);
       },
       [](const fs::path& media, const fs::path& elsewhere) {
         EXPECT_TRUE(fs::is_symlink(media));
         EXPECT_TRUE(fs::is_empty(elsewhere));
       }},
      {"an empty folder of the user's", false, none, engine::RowResult::kWhole,
       [](const fs::path& media, const fs::path&) { fs::create_directories(media); },
       [](const fs::path& media, const fs::path&) { EXPECT_TRUE(fs::is_directory(media)); }},
      {"a folder under an image's name", true, failed, engine::RowResult::kIncomplete,
       [](const fs::path& media, const fs::path&) { fs::create_directories(media / "image1.png"); },
       [](const fs::path& media, const fs::path&) {
         EXPECT_TRUE(fs::is_directory(media / "image1.png"));
       }},
      {"an earlier save's folder", true, done, engine::RowResult::kWhole,
       [this](const fs::path& media, const fs::path&) {
         WriteFile(media / "image1.png", "older image");
       },
       [](const fs::path& media, const fs::path&) {
         EXPECT_NE(ReadText(media / "image1.png"), "older image");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / c.label;
    const fs::path media = destination / "Report.dotm_MediaContent";
    const fs::path elsewhere = Root() / (std::string(c.label) + " elsewhere");
    fs::create_directories(elsewhere);
    c.arrange(media, elsewhere);
    RecordingView view;
    SaveTo(view, destination, true);
    AddRepairedRow(view, "/in/Report.dotm");
    // A whole package without pictures: the saved copy must pass its self-check.
    if (!c.images) fs::remove_all(FileFolder("/in/Report.dotm", 0) / "word" / "media");
    RunSave(view);

    EXPECT_EQ(view.Log(), Concat({RowLines("/in/Report.dotm", true, {c.note}), SaveEndLines()}));
    EXPECT_TRUE(fs::is_regular_file(destination / "ZARVEL_Report.dotm"));
    EXPECT_EQ(view.FinishedRows(),
              (std::vector<RecordingView::Finished>{{engine::JobKind::kSave, 0, c.result}}));
    c.check(media, elsewhere);
  }
}

// A folder this process cannot create files in: a read-only folder below root for a user, and
// for root (who may write anywhere else) the kernel's own /sys, which is only probed.
std::optional<fs::path> UnwritableFolder(const fs::path& root) {
  if (!platform::testing::HasPosixFileSystem()) return std::nullopt;
  if (!platform::testing::IsSuperUser()) {
    const fs::path locked = root / "locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    return locked;
  }
  const fs::path probe = "/sys/brenvik-probe";
  platform::File file;
  if (file.Open(probe, platform::File::Mode::kCreateNew)) {
    file.Close();
    std::error_code ec;
    fs::remove(probe, ec);
    return std::nullopt;
  }
  return platform::LastErrorText() == "Permission denied" ? std::optional<fs::path>("/sys")
                                                          : std::nullopt;
}

// Nothing saved: the log, the message and the instruction line say so, and why.
TEST_F(SaveJobTest, UnwritableDestinationSavesNothingAndSaysWhy) {
  const auto locked = UnwritableFolder(Root());
  if (!locked) GTEST_SKIP() << "no folder that this user cannot write";
  RecordingView view;
  SaveTo(view, *locked);
  AddRepairedRow(view, "/in/One.dotm");
  AddRepairedRow(view, "/in/Two.dotm");
  RunSave(view);
  // Only the folder the test locked is given back; /sys is never touched.
  if (locked->parent_path() == Root()) {
    fs::permissions(*locked, fs::perms::owner_all, fs::perm_options::add);
  }

  const Note why{
      " cannot be saved, the saved file cannot be created in the destination folder: Permission "
      "denied....\r\n",
      kRed};
  EXPECT_EQ(view.Log(), Concat({RowLines("/in/One.dotm", false, {why}),
                                RowLines("/in/Two.dotm", false, {why}), SaveEndLines()}));
  const std::string shown = locked->string();
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text,
            "File(s) saving process has failed: no file has been saved.<br>Reason: <b>the saved "
            "file cannot be created in the destination folder: Permission denied</b><br>"
            "Destination folder is:<br><a href='" +
                shown + "'>" + shown + "</a>");
  EXPECT_EQ(view.instruction, engine::kInstructionSaveFailed);
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kSave, 0, engine::RowResult::kFailed},
                                     {engine::JobKind::kSave, 1, engine::RowResult::kFailed}}));
  EXPECT_TRUE(view.canSave && view.canSelect && view.canRepair);
  EXPECT_EQ(running_.load(), 0);
}

// A destination whose name holds markup characters is shown as itself, in text and link.
TEST_F(SaveJobTest, DestinationIsEscapedInTheMessage) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no '<', '>' or '\"' in names here";
  const fs::path destination = Root() / "a&b <c> 'q\"";
  fs::create_directories(destination);
  RecordingView view;
  SaveTo(view, destination);
  AddRepairedRow(view, "/in/Report.dotm");
  RunSave(view);
  // A path holding both quotes cannot be an href: it is shown, escaped, without a link.
  const std::string shown = Root().string() + "/a&amp;<span></span>b &lt;c&gt; 'q\"";
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text,
            "File(s) saving process has been completed.Saved file(s) location is:<br>" + shown);
  EXPECT_EQ(view.instruction, engine::kInstructionSaved);
  EXPECT_TRUE(fs::is_regular_file(destination / "ZARVEL_Report.dotm"));
}

TEST(SaveSummaryTest, MessagesCountWhatWasSaved) {
  using engine::RowResult;
  const struct {
    const char* label;
    std::vector<std::pair<RowResult, const char*>> rows;
    std::string message;
    std::string_view instruction;
  } cases[] = {
      {"no rows",
       {},
       "File(s) saving process has been completed.Saved file(s) location is:<br><a "
       "href='/out'>/out</a>",
       engine::kInstructionSaved},
      {"all whole",
       {{RowResult::kWhole, ""}, {RowResult::kWhole, ""}},
       "File(s) saving process has been completed.Saved file(s) location is:<br><a "
       "href='/out'>/out</a>",
       engine::kInstructionSaved},
      {"all saved, one incomplete",
       {{RowResult::kWhole, ""}, {RowResult::kIncomplete, ""}},
       "File(s) saving process has been completed: 2 of 2 file(s) saved.<br>1 of them saved "
       "without everything: see the red lines of the log.<br>Saved file(s) location is:<br><a "
       "href='/out'>/out</a>",
       engine::kInstructionSaved},
      {"some saved, reasons once each and escaped",
       {{RowResult::kFailed, "a <reason>"},
        {RowResult::kWhole, ""},
        {RowResult::kFailed, "a <reason>"},
        {RowResult::kFailed, "another"}},
       "File(s) saving process has been completed: 1 of 4 file(s) saved.<br>Not saved: <b>a "
       "&lt;reason&gt;<br>another</b><br>Saved file(s) location is:<br><a href='/out'>/out</a>",
       engine::kInstructionSavedPartly},
      {"none saved",
       {{RowResult::kFailed, "stopped"}},
       "File(s) saving process has failed: no file has been saved.<br>Reason: <b>stopped</b><br>"
       "Destination folder is:<br><a href='/out'>/out</a>",
       engine::kInstructionSaveFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    engine::SaveTally tally;
    for (const auto& [result, reason] : c.rows)
      tally.Count(result, reason);
    EXPECT_EQ(engine::SaveSummaryMessage(tally, "/out"), c.message);
    EXPECT_EQ(engine::SaveSummaryInstruction(tally).text, c.instruction);
  }
}

TEST_F(SaveJobTest, InvalidDestinationOnlyTellsTheUser) {
  WriteFile("a_file", Bytes{1});
  for (const std::string& destination :
       {std::string(), (Root() / "missing").string(), (Root() / "a_file").string()}) {
    SCOPED_TRACE(destination);
    RecordingView view;
    view.destination = destination;
    AddRepairedRow(view, "/in/Report.dotm");
    int result = -1;
    RunSave(view, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(view.Calls(),
              std::vector<std::string>{"MessageBox(Please select a valid folder path.)"});
    EXPECT_EQ(view.Messages()[0].style, 0x40u);
    EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                       {engine::JobKind::kSave, 0, engine::RowResult::kFailed}}))
        << "nothing was saved";
    EXPECT_EQ(running_.load(), 0);
  }
}

TEST_F(SaveJobTest, SaveIsRefusedWhileAJobRuns) {
  RecordingView view;
  running_ = 1;
  EXPECT_FALSE(engine::PrepareSaveJob(ParamFor(view)));
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text, "Please stop the running process before saving the file(s).");
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  running_ = 0;
  EXPECT_TRUE(engine::PrepareSaveJob(ParamFor(view)));
}

TEST_F(SaveJobTest, StopDuringFirstOfThreeRowsFinishesTheFirst) {
  RecordingView view;
  SaveTo(view, destination_);
  for (const char* name : {"/in/One.dotm", "/in/Two.dotm", "/in/Three.dotm"})
    AddRepairedRow(view, name);
  view.OnLogContaining("/in/One.dotm saving of file starts", [this] { running_ = 0; });
  RunSave(view);

  auto stopped = [](const std::string& p) {
    return std::vector<LogLine>{
        {p + " file is not saving as process has been stop by the user.... \r\n", kBlack},
        {p + " not saved....\r\n", kRed},
        {kStars + "\r\n", kBlack}};
  };
  EXPECT_EQ(view.Log(), Concat({RowLines("/in/One.dotm", true), stopped("/in/Two.dotm"),
                                stopped("/in/Three.dotm"), SaveEndLines()}));
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[1].data, 0);
  EXPECT_EQ(view.rows[2].data, 0);
  EXPECT_EQ(EntryNames(destination_), std::vector<std::string>{"ZARVEL_One.dotm"});
  EXPECT_EQ(running_.load(), 0);
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kSave, 0, engine::RowResult::kWhole},
                                     {engine::JobKind::kSave, 1, engine::RowResult::kFailed},
                                     {engine::JobKind::kSave, 2, engine::RowResult::kFailed}}));
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text.rfind("File(s) saving process has been completed: 1 of 3 "
                                          "file(s) saved.<br>Not saved: <b>the process has been "
                                          "stopped by the user</b><br>",
                                          0),
            0u)
      << view.Messages()[0].text;
}

// An earlier saved package is replaced only by a complete new one. A file folder that is gone
// (a new selection emptied the working folder) or a file the packer cannot read (here a FIFO,
// which is no part) is a failure that leaves no partial file behind.
TEST_F(SaveJobTest, EarlierSavedPackageIsReplacedOnlyByACompleteOne) {
  const struct {
    const char* label;
    bool fileFolder, unreadablePart, saved;
    const char* why;
  } cases[] = {
      {"file folder missing", false, false, false,
       " cannot be saved, the repaired file's parts are no longer in the working folder....\r\n"},
      {"unreadable part", true, true, false,
       " cannot be saved, a repaired part cannot be read....\r\n"},
      {"complete", true, false, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / c.label;
    const fs::path earlier = WriteFile(destination / "ZARVEL_Report.dotm", "earlier package");
    RecordingView view;
    SaveTo(view, destination, /*media=*/!c.fileFolder);
    view.rows.push_back({"/in/Report.dotm", 1, 1});
    if (c.fileFolder) FillFileFolder(FileFolder("/in/Report.dotm", 0));
    if (c.unreadablePart) {
      std::string why;
      if (!platform::testing::CreateFifo(FileFolder("/in/Report.dotm", 0) / "word" / "pipe.xml",
                                         &why))
        GTEST_SKIP() << why;
    }
    RunSave(view);

    const auto lines = c.saved ? RowLines("/in/Report.dotm", true)
                               : RowLines("/in/Report.dotm", false, {{c.why, kRed}});
    EXPECT_EQ(view.Log(), Concat({lines, SaveEndLines()}));
    EXPECT_EQ(EntryNames(destination), std::vector<std::string>{"ZARVEL_Report.dotm"});
    if (c.saved) {
      EXPECT_EQ(PartNamesOf(earlier), SamplePartNames());
    } else {
      EXPECT_EQ(ReadText(earlier), "earlier package");
    }
  }
}

// A part whose name no package can hold (longer than the 259 bytes of the name field, or with
// a character that has no one-byte form) is left out and named in the log; the rest is saved.
TEST_F(SaveJobTest, PartWithAnUnfitNameIsLeftOutAndTheRestSaved) {
  const std::string tooLong = "word/" + std::string(200, 'a') + "/" + std::string(60, 'b') + ".xml";
  for (const std::string& name : {tooLong, std::string("word/\xE6\x96\x87.xml")}) {
    // The test cannot make a file whose path is that long where paths stop at 260 characters.
    if (name == tooLong && !platform::testing::HasPosixFileSystem()) continue;
    SCOPED_TRACE(name);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / std::to_string(name.size());
    fs::create_directories(destination);
    WriteFile(destination / "ZARVEL_Report.dotm", "earlier package");
    RecordingView view;
    SaveTo(view, destination);
    AddRepairedRow(view, "/in/Report.dotm");
    WriteFile(FileFolder("/in/Report.dotm", 0) / platform::PathFromUtf8(name), "unfit");
    RunSave(view);

    const std::string leftOut =
        " part " + name + " is left out, a package cannot hold its name....\r\n";
    EXPECT_EQ(view.Log(), Concat({RowLines("/in/Report.dotm", true, {{leftOut.c_str(), kRed}}),
                                  SaveEndLines()}));
    EXPECT_EQ(PartNamesOf(destination / "ZARVEL_Report.dotm"), SamplePartNames());
    EXPECT_EQ(view.FinishedRows(),
              (std::vector<RecordingView::Finished>{
                  {engine::JobKind::kSave, 0, engine::RowResult::kIncomplete}}));
    ASSERT_EQ(view.Messages().size(), 1u);
    EXPECT_EQ(view.Messages()[0].text.rfind(
                  "File(s) saving process has been completed: 1 of 1 file(s) saved.<br>1 of them "
                  "saved without everything: see the red lines of the log.<br>",
                  0),
              0u)
        << view.Messages()[0].text;
  }
}

// The saved package gets the permissions any new file of the user's would get.
TEST_F(SaveJobTest, SavedPackageFollowsTheUmask) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no POSIX modes here";
  for (const unsigned mask : {022u, 027u, 002u, 077u}) {
    SCOPED_TRACE(mask);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / ("umask" + std::to_string(mask));
    fs::create_directories(destination);
    RecordingView view;
    SaveTo(view, destination);
    AddRepairedRow(view, "/in/Report.dotm");
    const unsigned previous = platform::testing::SetUmask(mask);
    RunSave(view);
    platform::testing::SetUmask(previous);
    const auto perms = fs::status(destination / "ZARVEL_Report.dotm").permissions();
    EXPECT_EQ(static_cast<unsigned>(perms) & 0777u, 0666u & ~mask);
  }
}

// "x1" in row 1 and "x" in row 11 once shared the file folder "x11": repaired, previewed and
// saved, each package keeps its own parts.
TEST_F(SaveJobTest, FileNamesEndingInDigitsKeepTheirOwnPackages) {
  RecordingView view;
  for (int row = 0; row < 12; ++row) {
    const std::string name = row == 1 ? "x1" : row == 11 ? "x" : "p" + std::to_string(row) + "_";
    testsupport::PackageBuilder builder;
    for (const auto& [part, content] : testsupport::SampleTemplateParts())
      builder.Add({.name = part, .content = content});
    builder.AddDeflated("customXml/row.xml", "row " + std::to_string(row));
    const fs::path package =
        WriteFile(fs::path("in") / std::to_string(row) / name, builder.Build());
    view.rows.push_back({package.string(), engine::kRowNotRepaired, engine::kRowListed});
  }
  RunRepair(view);
  SaveTo(view, destination_);
  RunSave(view);

  for (int row : {1, 11}) {
    SCOPED_TRACE(row);
    const std::string& package = view.rows[static_cast<std::size_t>(row)].text;
    const fs::path fileFolder = FileFolder(package, row);
    const auto preview = engine::LookupPreview(engine::GetWorkingFolder(), package, row);
    EXPECT_EQ(preview.path.rfind((fileFolder / "").string(), 0), 0u) << preview.path;
    std::string error;
    const auto saved = zip_test::ParseArchive(
        testsupport::ReadFileBytes(destination_ /
                                   ("ZARVEL_" + fs::path(package).filename().string())),
        &error);
    ASSERT_TRUE(saved.has_value()) << error;
    const auto rowPart = std::find_if(saved->entries.begin(), saved->entries.end(),
                                      [](const auto& e) { return e.name == "customXml/row.xml"; });
    ASSERT_NE(rowPart, saved->entries.end());
    EXPECT_EQ(rowPart->content, "row " + std::to_string(row));
  }
}

// However many threads deflate, the log, the rows' results and the saved packages are the
// same: a part left out for its name, a part that is no file (a pipe) failing its package with
// the reason, and a whole one.
TEST_F(SaveJobTest, EveryThreadCountLogsAndSavesTheSame) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no FIFOs here";
  const std::string tooLong = "word/" + std::string(200, 'a') + "/" + std::string(60, 'b') + ".xml";
  std::optional<std::vector<LogLine>> firstLog;
  std::optional<std::vector<RecordingView::Finished>> firstRows;
  std::optional<std::vector<std::string>> firstParts;
  for (const char* threads : {"1", "2", "4"}) {
    SCOPED_TRACE(std::string(threads) + " threads");
    platform::SetEnvironmentValue("DOTM_REPAIR_THREADS", threads);
    engine::RemoveFolderTree(engine::GetWorkingFolder());
    const fs::path destination = Root() / (std::string("out") + threads);
    fs::create_directories(destination);
    RecordingView view;
    SaveTo(view, destination);
    AddRepairedRow(view, "/in/Left.dotm");
    WriteFile(FileFolder("/in/Left.dotm", 0) / tooLong, "unfit");
    AddRepairedRow(view, "/in/Piped.dotm");
    std::string why;
    ASSERT_TRUE(
        platform::testing::CreateFifo(FileFolder("/in/Piped.dotm", 1) / "word" / "pipe.xml", &why))
        << why;
    AddRepairedRow(view, "/in/Whole.dotm");
    RunSave(view);
    platform::UnsetEnvironmentValue("DOTM_REPAIR_THREADS");

    EXPECT_FALSE(fs::exists(destination / "ZARVEL_Piped.dotm"));
    const auto parts = PartNamesOf(destination / "ZARVEL_Left.dotm");
    EXPECT_EQ(parts, SamplePartNames());
    EXPECT_EQ(PartNamesOf(destination / "ZARVEL_Whole.dotm"), SamplePartNames());
    if (!firstLog) {
      firstLog = view.Log();
      firstRows = view.FinishedRows();
      firstParts = parts;
      EXPECT_EQ(firstRows->at(1).result, engine::RowResult::kFailed);
      const auto reason = std::find_if(firstLog->begin(), firstLog->end(), [](const LogLine& l) {
        return l.text == "/in/Piped.dotm cannot be saved, a repaired part cannot be read....\r\n";
      });
      EXPECT_NE(reason, firstLog->end());
      continue;
    }
    EXPECT_EQ(view.Log(), *firstLog);
    EXPECT_EQ(view.FinishedRows(), *firstRows);
  }
}

}  // namespace
}  // namespace jobstest
