#include "engine/repair_job.h"

#include <gtest/gtest.h>

#include "engine/job_texts.h"
#include "engine/working_folder.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

using testsupport::SampleTemplatePackage;

class RepairJobTest : public JobTest {
 protected:
  fs::path FileFolder(const std::string& package, int index) {
    return engine::FileFolderFor(engine::GetWorkingFolder(), package, index);
  }
};

TEST_F(RepairJobTest, OneGoodPackageIsRepairedAndLogged) {
  const std::string package = WritePackage("in/Report.dotm", SampleTemplatePackage());
  RecordingView view({package});
  RunRepair(view);

  EXPECT_EQ(view.Log(), Concat({RepairedLines(package), RepairEndLines()}));
  EXPECT_EQ(view.rows[0].image, engine::kRowRepaired);
  EXPECT_EQ(view.rows[0].data, engine::kRowRepaired);
  const fs::path folder = FileFolder(package, 0);
  EXPECT_EQ(folder.filename(), "Report.dotm0");
  EXPECT_TRUE(fs::is_regular_file(folder / "word" / "document.xml"));
  EXPECT_TRUE(fs::is_regular_file(folder / "word" / "media" / "image1.png"));
  EXPECT_TRUE(view.Messages().empty());

  // The controls end as the next step needs them.
  EXPECT_EQ(running_.load(), 0);
  EXPECT_TRUE(view.canSelect);
  EXPECT_TRUE(view.canRepair);
  EXPECT_TRUE(view.canSave);
  EXPECT_FALSE(view.stopShown);
  EXPECT_FALSE(view.fileBarShown);
  EXPECT_FALSE(view.totalBarShown);
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 1);
  EXPECT_EQ(view.barRange[engine::ProgressBar::kTotal], 1);
  EXPECT_EQ(view.instruction, engine::kInstructionRepaired);
  ASSERT_EQ(view.instructionBold.size(), 4u);
  EXPECT_EQ(view.instructionBold[2].first, 110);
  EXPECT_EQ(view.previewMode, engine::kPreviewClickRow);
}

TEST_F(RepairJobTest, PreparationSetsUpTheWorkspaceInOrder) {
  RecordingView view;
  const engine::JobThreadParam param = ParamFor(view);
  engine::PrepareRepairJob(param);
  const std::vector<std::string> expected{
      "SetInstruction(Please wait while .dotm file(s) are Repairing....)",
      "EnableRepair(0)",
      "ShowStop(1)",
      "EnableSelect(0)",
      "ClearLog()",
      "SetProgressPos(file,0)",
      "SetProgressPos(total,0)",
      "ShowPreview(,2)"};
  EXPECT_EQ(view.Calls(), expected);
  EXPECT_EQ(running_.load(), 1);
  ASSERT_EQ(view.instructionBold.size(), 1u);
  EXPECT_EQ(view.instructionBold[0].first, 19);
  EXPECT_EQ(view.instructionBold[0].end, 30);
}

TEST_F(RepairJobTest, PreparationEmptiesAnEarlierWorkingFolderAfterReleasingThePreview) {
  const fs::path working = engine::GetWorkingFolder();
  WriteFile(fs::relative(working / "Old.dotm0" / "word" / "a.xml", Root()), {1, 2, 3});
  RecordingView view;
  engine::PrepareRepairJob(ParamFor(view));
  EXPECT_FALSE(fs::exists(working));
  ASSERT_FALSE(view.Calls().empty());
  EXPECT_EQ(view.Calls().front(), "ShowPreview(,6)");
}

TEST_F(RepairJobTest, PackageThatCannotBeOpenedIsLoggedAndKeepsItsRowState) {
  const std::string missing = (Root() / "nowhere" / "Gone.dotm").string();
  RecordingView view({missing});
  view.rows[0].data = 1;
  view.rows[0].image = 1;
  RunRepair(view);

  EXPECT_EQ(view.Log(),
            Concat({{{missing + " extraction of file failed....\r\n", kBlack}}, RepairEndLines()}));
  ASSERT_EQ(view.Messages().size(), 1u);
  EXPECT_EQ(view.Messages()[0].text, "No such file or directory");
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view.Messages()[0].style, 0x40u);
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[0].image, 1);
}

// Nothing recoverable in the file: reporting "Repaired" would let the save job write a package
// that holds only the stored content types.
TEST_F(RepairJobTest, PackageWithoutAnyWrittenPartIsNotRepaired) {
  const struct {
    const char* label;
    Bytes bytes;
  } cases[] = {
      {"all zero", Bytes(4096, 0)},
      {"no local header", testsupport::NoiseBytes(5000, 9)},
      {"empty file", Bytes{}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string package = WritePackage(fs::path(c.label) / "Broken.dotm", c.bytes);
    RecordingView view({package});
    RunRepair(view);
    EXPECT_EQ(view.Log(), Concat({{{package + " file is open....\r\n", kBlack},
                                   {package + " file is extracted....\r\n", kBlack},
                                   {package + " file is closed....\r\n", kBlack},
                                   {package + " extraction of file failed....\r\n", kBlack}},
                                  RepairEndLines()}));
    EXPECT_EQ(view.rows[0].image, engine::kRowNotRepaired);
    EXPECT_EQ(view.rows[0].data, engine::kRowNotRepaired);
    EXPECT_FALSE(fs::exists(FileFolder(package, 0)));
  }
}

TEST_F(RepairJobTest, EmptyListShowsAndHidesTheBarsAndEndsNormally) {
  RecordingView view;
  RunRepair(view);
  EXPECT_EQ(view.Log(), RepairEndLines());
  const auto calls = view.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "ShowProgressArea(1,1)"), calls.end());
  EXPECT_EQ(calls.back(), "ShowProgressArea(0,0)");
  EXPECT_TRUE(view.canSelect);
  EXPECT_TRUE(view.canSave);
  EXPECT_EQ(running_.load(), 0);
}

TEST_F(RepairJobTest, SameFileNameFromTwoFoldersGetsTwoFileFolders) {
  const std::string first = WritePackage("a/Report.dotm", SampleTemplatePackage());
  testsupport::PackageBuilder other;
  other.AddDeflated("word/document.xml", "<w:document>second</w:document>");
  const std::string second = WritePackage("b/Report.dotm", other.Build());
  RecordingView view({first, second});
  RunRepair(view);

  EXPECT_EQ(view.Log(), Concat({RepairedLines(first), RepairedLines(second), RepairEndLines()}));
  EXPECT_TRUE(fs::exists(FileFolder(first, 0) / "word" / "media" / "image1.png"));
  EXPECT_EQ(testsupport::ReadFileBytes(FileFolder(second, 1) / "word" / "document.xml"),
            testsupport::ToBytes("<w:document>second</w:document>"));
  EXPECT_FALSE(fs::exists(FileFolder(second, 1) / "word" / "media"));
}

// Stop confirmed while the second of three packages is handled: the second is finished, the
// third gets the stop lines and loses its repaired state.
TEST_F(RepairJobTest, StopDuringSecondOfThreeFinishesTheSecond) {
  std::vector<std::string> packages;
  for (const char* name : {"One.dotm", "Two.dotm", "Three.dotm"}) {
    packages.push_back(WritePackage(name, SampleTemplatePackage()));
  }
  RecordingView view(packages);
  view.rows[2].data = 1;
  view.rows[2].image = 1;
  view.OnLogContaining(packages[1] + " file is extracted", [this] { running_ = 0; });
  RunRepair(view);

  EXPECT_EQ(view.Log(), Concat({RepairedLines(packages[0]), RepairedLines(packages[1]),
                                RepairStoppedLines(packages[2]), RepairEndLines()}));
  EXPECT_EQ(view.rows[1].data, 1);
  EXPECT_EQ(view.rows[2].data, 0);
  EXPECT_EQ(view.rows[2].image, 0);
  EXPECT_FALSE(fs::exists(FileFolder(packages[2], 2)));
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 3);
}

// Stop confirmed as soon as the second package is opened: its scan ends before any part is
// found, so it has nothing to show for itself and is not marked repaired.
TEST_F(RepairJobTest, StopAsTheSecondPackageOpensLeavesItUnrepaired) {
  std::vector<std::string> packages;
  for (const char* name : {"One.dotm", "Two.dotm", "Three.dotm"}) {
    packages.push_back(WritePackage(name, SampleTemplatePackage()));
  }
  RecordingView view(packages);
  view.OnLogContaining(packages[1] + " file is open", [this] { running_ = 0; });
  RunRepair(view);

  const std::string& p = packages[1];
  EXPECT_EQ(view.Log(), Concat({RepairedLines(packages[0]),
                                {{p + " file is open....\r\n", kBlack},
                                 {p + " file is extracted....\r\n", kBlack},
                                 {p + " file is closed....\r\n", kBlack},
                                 {p + " extraction of file failed....\r\n", kBlack}},
                                RepairStoppedLines(packages[2]),
                                RepairEndLines()}));
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[1].data, 0);
  EXPECT_EQ(view.rows[2].data, 0);
}

}  // namespace
}  // namespace jobstest
