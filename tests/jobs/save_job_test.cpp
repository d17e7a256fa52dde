#include "engine/save_job.h"

#include <gtest/gtest.h>

#include "engine/job_texts.h"
#include "engine/working_folder.h"
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
    FillFileFolder(engine::FileFolderFor(engine::GetWorkingFolder(), package, index));
  }

  static void SaveTo(RecordingView& view, const fs::path& destination, bool media = false) {
    view.destination = destination.string();
    view.extractMedia = media;
  }

  std::vector<std::string> DestinationEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(destination_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string FinalMessage(const std::string& shown) const {
    return "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
           shown + "'>" + shown + "</a>";
  }

  fs::path destination_;
};

std::vector<std::string> SampleNamesWithBackslashes() {
  std::vector<std::string> names;
  for (const auto& part : testsupport::SampleTemplateParts()) {
    std::string name = part.first;
    std::replace(name.begin(), name.end(), '/', '\\');
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(SaveJobTest, RepairedRowIsSavedAndUnrepairedRowIsRefused) {
  RecordingView view;
  SaveTo(view, destination_);
  AddRepairedRow(view, "/in/Report.dotm");
  view.rows.push_back({"/in/Other.dotm", engine::kRowNotRepaired, engine::kRowNotRepaired});
  int result = -1;
  RunSave(view, &result);

  EXPECT_EQ(result, 1);
  EXPECT_EQ(view.Log(),
            Concat({{{"/in/Report.dotm saving of file starts....\r\n", kBlack},
                     {"/in/Report.dotm saving of file done....\r\n", kGreen},
                     {kStars + "\r\n", kBlack},
                     {"/in/Other.dotm cannot be saved,as it is not Repaired.\r\n", kRed},
                     {kStars + "\r\n", kBlack}},
                    SaveEndLines()}));
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_Report.dotm"});
  auto names = PartNamesOf(destination_ / "ZARVEL_Report.dotm");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, SampleNamesWithBackslashes());

  const auto calls = view.Calls();
  ASSERT_GE(calls.size(), 9u);
  const std::vector<std::string> start(calls.begin(), calls.begin() + 9);
  EXPECT_EQ(start, (std::vector<std::string>{
                       "SetProgressPos(file,0)", "SetProgressPos(total,0)", "EnableSaveControls(0)",
                       "ClearLog()", "EnableSelect(0)", "EnableRepair(0)",
                       "SetInstruction(Please wait while .dotm file(s) are saving....)",
                       "ShowStop(1)", "ShowProgressArea(0,1)"}));
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text, FinalMessage(destination_.string()));
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view.Messages()[0].style, 0x40u);
  EXPECT_EQ(view.instruction, engine::kInstructionSaved);
  EXPECT_TRUE(view.canSave && view.canSelect && view.canRepair);
  EXPECT_FALSE(view.stopShown || view.totalBarShown);
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 2);
  EXPECT_EQ(running_.load(), 0);
  EXPECT_EQ(view.rows[0].data, 1);  // saving keeps the repair for another save
}

TEST_F(SaveJobTest, MediaWantedWithoutImagesLeavesNoMediaFolder) {
  RecordingView view;
  SaveTo(view, destination_, true);
  view.rows.push_back({"/in/Plain.dotm", 1, 1});
  const fs::path folder = engine::FileFolderFor(engine::GetWorkingFolder(), "/in/Plain.dotm", 0);
  WriteFile(fs::relative(folder / "word" / "document.xml", Root()), testsupport::ToBytes("<w/>"));
  RunSave(view);

  EXPECT_EQ(view.Log(),
            Concat({{{"/in/Plain.dotm saving of file starts....\r\n", kBlack},
                     {"/in/Plain.dotm no media content is present in the file....\r\n", kBlack},
                     {"/in/Plain.dotm saving of file done....\r\n", kGreen},
                     {kStars + "\r\n", kBlack}},
                    SaveEndLines()}));
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_Plain.dotm"});
}

TEST_F(SaveJobTest, MediaWantedCopiesEveryImageIntoOneFolder) {
  RecordingView view;
  SaveTo(view, destination_, true);
  AddRepairedRow(view, "/in/Report.dotm");
  const fs::path folder = engine::FileFolderFor(engine::GetWorkingFolder(), "/in/Report.dotm", 0);
  WriteFile(fs::relative(folder / "docProps" / "Thumb.JPEG", Root()), {1, 2, 3});
  RunSave(view);

  EXPECT_EQ(view.Log(), Concat({{{"/in/Report.dotm saving of file starts....\r\n", kBlack},
                                 {"/in/Report.dotm Media extraction is done....\r\n", kBlack},
                                 {"/in/Report.dotm saving of file done....\r\n", kGreen},
                                 {kStars + "\r\n", kBlack}},
                                SaveEndLines()}));
  const fs::path media = destination_ / "Report.dotm_MediaContent";
  EXPECT_TRUE(fs::is_regular_file(media / "image1.png"));
  EXPECT_TRUE(fs::is_regular_file(media / "Thumb.JPEG"));
  EXPECT_EQ(std::distance(fs::directory_iterator(media), fs::directory_iterator()), 2);
}

TEST_F(SaveJobTest, DestinationWithoutTrailingSeparatorIsUsedAsTyped) {
  const std::string typed = destination_.string();
  ASSERT_NE(typed.back(), '/');
  RecordingView view;
  SaveTo(view, typed);
  AddRepairedRow(view, "/in/Report.dotm");
  RunSave(view);

  EXPECT_TRUE(fs::is_regular_file(destination_ / "ZARVEL_Report.dotm"));
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text,
            "File(s) saving process has been completed.Saved file(s) location is:<br><a href='" +
                typed + "'>" + typed + "</a>");
}

TEST_F(SaveJobTest, InvalidDestinationOnlyTellsTheUser) {
  WriteFile("a_file", {1});
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
  for (const char* name : {"/in/One.dotm", "/in/Two.dotm", "/in/Three.dotm"}) {
    AddRepairedRow(view, name);
  }
  view.OnLogContaining("/in/One.dotm saving of file starts", [this] { running_ = 0; });
  RunSave(view);

  auto stopped = [](const std::string& p) {
    return std::vector<LogLine>{
        {p + " file is not saving as process has been stop by the user.... \r\n", kBlack},
        {p + " not saved....\r\n", kRed},
        {kStars + "\r\n", kBlack}};
  };
  EXPECT_EQ(view.Log(), Concat({{{"/in/One.dotm saving of file starts....\r\n", kBlack},
                                 {"/in/One.dotm saving of file done....\r\n", kGreen},
                                 {kStars + "\r\n", kBlack}},
                                stopped("/in/Two.dotm"),
                                stopped("/in/Three.dotm"),
                                SaveEndLines()}));
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[1].data, 0);
  EXPECT_EQ(view.rows[2].data, 0);
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_One.dotm"});
  EXPECT_EQ(running_.load(), 0);
}

// The file folder is gone (a new selection emptied the working folder): the save must say so
// and must not replace the user's earlier saved package with an empty one.
TEST_F(SaveJobTest, MissingFileFolderFailsAndKeepsAnEarlierSavedPackage) {
  const Bytes earlier = testsupport::ToBytes("an earlier good package");
  testsupport::WriteFileBytes(destination_ / "ZARVEL_Report.dotm", earlier);
  RecordingView view;
  SaveTo(view, destination_, true);
  view.rows.push_back({"/in/Report.dotm", 1, 1});
  RunSave(view);

  EXPECT_EQ(view.Log(), Concat({{{"/in/Report.dotm saving of file starts....\r\n", kBlack},
                                 {"/in/Report.dotm saving of file failed....\r\n", kRed},
                                 {kStars + "\r\n", kBlack}},
                                SaveEndLines()}));
  EXPECT_EQ(testsupport::ReadFileBytes(destination_ / "ZARVEL_Report.dotm"), earlier);
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_Report.dotm"});
}

// A file the packer cannot add (a name the zip format cannot hold in its one-byte names) makes
// the package incomplete: nothing partial may be left, and the earlier package stays.
TEST_F(SaveJobTest, IncompletePackageIsAFailureAndLeavesNoPartialFile) {
  const Bytes earlier = testsupport::ToBytes("an earlier good package");
  testsupport::WriteFileBytes(destination_ / "ZARVEL_Report.dotm", earlier);
  RecordingView view;
  SaveTo(view, destination_);
  AddRepairedRow(view, "/in/Report.dotm");
  const fs::path folder = engine::FileFolderFor(engine::GetWorkingFolder(), "/in/Report.dotm", 0);
  testsupport::WriteFileBytes(folder / "word" / "\xE6\x96\x87.xml", {1, 2, 3});
  RunSave(view);

  ASSERT_EQ(view.Log().size(), 5u);
  EXPECT_EQ(view.Log()[1], (LogLine{"/in/Report.dotm saving of file failed....\r\n", kRed}));
  EXPECT_EQ(testsupport::ReadFileBytes(destination_ / "ZARVEL_Report.dotm"), earlier);
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_Report.dotm"});
}

TEST_F(SaveJobTest, SavingAgainReplacesTheEarlierPackage) {
  testsupport::WriteFileBytes(destination_ / "ZARVEL_Report.dotm", testsupport::ToBytes("old"));
  RecordingView view;
  SaveTo(view, destination_);
  AddRepairedRow(view, "/in/Report.dotm");
  RunSave(view);
  EXPECT_EQ(view.Log()[1], (LogLine{"/in/Report.dotm saving of file done....\r\n", kGreen}));
  EXPECT_EQ(PartNamesOf(destination_ / "ZARVEL_Report.dotm").size(),
            testsupport::SampleTemplateParts().size());
  EXPECT_EQ(DestinationEntries(), std::vector<std::string>{"ZARVEL_Report.dotm"});
}

}  // namespace
}  // namespace jobstest
