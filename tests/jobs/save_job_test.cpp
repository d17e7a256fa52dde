#include "engine/save_job.h"

#include <gtest/gtest.h>

#include "engine/job_texts.h"
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

// A row's save lines: starts, the notes (black), then done (green) or failed (red), then stars.
std::vector<LogLine> RowLines(const std::string& p, bool saved,
                              std::initializer_list<const char*> notes = {}) {
  std::vector<LogLine> lines{{p + " saving of file starts....\r\n", kBlack}};
  for (const char* note : notes)
    lines.push_back({p + note, kBlack});
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
  EXPECT_EQ(view.Messages()[0].text,
            "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                typed + "'>" + typed + "</a>");
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view.Messages()[0].style, 0x40u);
  EXPECT_EQ(view.instruction, engine::kInstructionSaved);
  EXPECT_TRUE(view.canSave && view.canSelect && view.canRepair);
  EXPECT_FALSE(view.stopShown || view.totalBarShown);
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 2);
  EXPECT_EQ(running_.load(), 0);
  EXPECT_EQ(view.rows[0].data, 1);  // saving keeps the repair for another save
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
}

// An earlier saved package is replaced only by a complete new one. A file folder that is gone
// (a new selection emptied the working folder) or a file the packer cannot add (a name the zip
// format cannot hold in its one-byte names) is a failure that leaves no partial file behind.
TEST_F(SaveJobTest, EarlierSavedPackageIsReplacedOnlyByACompleteOne) {
  const struct {
    const char* label;
    bool fileFolder, unencodableName, saved;
  } cases[] = {
      {"file folder missing", false, false, false},
      {"unencodable name", true, true, false},
      {"complete", true, false, true},
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
    if (c.unencodableName)
      WriteFile(FileFolder("/in/Report.dotm", 0) / "word" / "\xE6\x96\x87.xml", Bytes{1, 2, 3});
    RunSave(view);

    EXPECT_EQ(view.Log(), Concat({RowLines("/in/Report.dotm", c.saved), SaveEndLines()}));
    EXPECT_EQ(EntryNames(destination), std::vector<std::string>{"ZARVEL_Report.dotm"});
    if (c.saved) {
      EXPECT_EQ(PartNamesOf(earlier), SamplePartNames());
    } else {
      EXPECT_EQ(ReadText(earlier), "earlier package");
    }
  }
}

}  // namespace
}  // namespace jobstest
