#include "engine/repair_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "engine/job_texts.h"
#include "platform/file.h"
#include "platform/test_helpers.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

using testsupport::SampleTemplatePackage;

class RepairJobTest : public JobTest {
 protected:
  std::string Package(const fs::path& path, const Bytes& bytes = SampleTemplatePackage()) {
    return WriteFile(path, bytes).string();
  }
};

TEST_F(RepairJobTest, OneGoodPackageIsRepairedAndLogged) {
  const std::string package = Package("in/Report.dotm");
  RecordingView view({package});
  RunRepair(view);

  EXPECT_EQ(view.Log(), Concat({RepairedLines(package), RepairEndLines()}));
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kRepair, 0, engine::RowResult::kWhole}}));
  EXPECT_EQ(view.rows[0].image, engine::kRowRepaired);
  EXPECT_EQ(view.rows[0].data, engine::kRowRepaired);
  const fs::path folder = FileFolder(package, 0);
  EXPECT_EQ(folder.filename(), "Report.dotm0");
  EXPECT_TRUE(fs::is_regular_file(folder / "word" / "document.xml"));
  EXPECT_TRUE(fs::is_regular_file(folder / "word" / "media" / "image1.png"));
  EXPECT_TRUE(view.Messages().empty());

  // The controls end as the next step needs them.
  EXPECT_EQ(running_.load(), 0);
  EXPECT_TRUE(view.canSelect && view.canRepair && view.canSave);
  EXPECT_FALSE(view.stopShown || view.fileBarShown || view.totalBarShown);
  EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 1);
  EXPECT_EQ(view.barRange[engine::ProgressBar::kTotal], 1);
  EXPECT_EQ(view.instruction, engine::kInstructionRepaired);
  ASSERT_EQ(view.instructionBold.size(), 4u);
  EXPECT_EQ(view.instructionBold[2].first, 110);
  EXPECT_EQ(view.previewMode, engine::kPreviewClickRow);
}

// An earlier working folder is emptied only after the shown preview lets go of its file.
TEST_F(RepairJobTest, PreparationReleasesThePreviewEmptiesTheWorkingFolderAndSetsUpInOrder) {
  const fs::path working = engine::GetWorkingFolder();
  WriteFile(working / "Old.dotm0" / "word" / "a.xml", Bytes{1, 2, 3});
  RecordingView view;
  engine::PrepareRepairJob(ParamFor(view));
  EXPECT_FALSE(fs::exists(working));
  const std::vector<std::string> expected{
      "ShowPreview(,6)",        "SetInstruction(Please wait while .dotm file(s) are Repairing....)",
      "EnableRepair(0)",        "ShowStop(1)",
      "EnableSelect(0)",        "ClearLog()",
      "SetProgressPos(file,0)", "SetProgressPos(total,0)",
      "ShowPreview(,2)"};
  EXPECT_EQ(view.Calls(), expected);
  EXPECT_EQ(running_.load(), 1);
  ASSERT_EQ(view.instructionBold.size(), 1u);
  EXPECT_EQ(view.instructionBold[0].first, 19);
  EXPECT_EQ(view.instructionBold[0].end, 30);
}

TEST_F(RepairJobTest, PackageThatCannotBeOpenedIsLoggedAndKeepsItsRowState) {
  const std::string missing = (Root() / "nowhere" / "Gone.dotm").string();
  RecordingView view({missing});
  view.rows[0].data = view.rows[0].image = 1;
  RunRepair(view);

  EXPECT_EQ(view.Log(),
            Concat({{{missing + " extraction of file failed....\r\n", kBlack}}, RepairEndLines()}));
  ASSERT_EQ(view.Messages().size(), 1u);
  platform::File file;
  EXPECT_FALSE(file.Open(missing, platform::File::Mode::kRead));
  EXPECT_EQ(view.Messages()[0].text, platform::LastErrorText());
  EXPECT_EQ(view.Messages()[0].caption, "Brenvik Viva Zadado");
  EXPECT_EQ(view.Messages()[0].style, 0x40u);
  EXPECT_EQ(view.rows[0].data, 1);
  EXPECT_EQ(view.rows[0].image, 1);
}

// A FIFO among the inputs used to block the job for ever in the open, where Stop cannot reach.
// The job runs on a detached thread, so that a regression fails here rather than hanging.
TEST_F(RepairJobTest, FifoAmongTheInputsIsNotRepairedAndTheNextFileIs) {
  const fs::path fifo = Root() / "in" / "Pipe.dotm";
  fs::create_directories(fifo.parent_path());
  std::string why;
  if (!platform::testing::CreateFifo(fifo, &why)) GTEST_SKIP() << why;
  const std::string good = Package("in/Report.dotm");
  auto view = std::make_shared<RecordingView>(std::vector<std::string>{fifo.string(), good});
  auto running = std::make_shared<std::atomic<int>>(0);
  auto param = std::make_shared<engine::JobThreadParam>(
      engine::JobThreadParam{.pView = view.get(),
                             .pJobRunning = running.get(),
                             .workingFolder = engine::GetWorkingFolder()});
  engine::PrepareRepairJob(*param);
  auto finished = std::make_shared<std::promise<void>>();
  std::future<void> done = finished->get_future();
  std::thread([view, running, param, finished] {
    engine::RepairWorker(param.get());
    finished->set_value();
  }).detach();
  ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "the repair job blocked on a FIFO";

  EXPECT_EQ(view->Log(), Concat({{{fifo.string() + " extraction of file failed....\r\n", kBlack}},
                                 RepairedLines(good),
                                 RepairEndLines()}));
  ASSERT_EQ(view->Messages().size(), 1u);
  EXPECT_EQ(view->Messages()[0].text, "not a regular file");
  EXPECT_EQ(view->rows[0].data, engine::kRowNotRepaired);
  EXPECT_EQ(view->rows[1].data, engine::kRowRepaired);
  EXPECT_TRUE(fs::is_fifo(fifo)) << "the input is left as it was";
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
    const std::string package = Package(fs::path(c.label) / "Broken.dotm", c.bytes);
    RecordingView view({package});
    RunRepair(view);
    EXPECT_EQ(view.Log(), Concat({RepairFailedLines(package), RepairEndLines()}));
    EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                       {engine::JobKind::kRepair, 0, engine::RowResult::kFailed}}));
    EXPECT_EQ(view.rows[0].image, engine::kRowNotRepaired);
    EXPECT_EQ(view.rows[0].data, engine::kRowNotRepaired);
    EXPECT_FALSE(fs::exists(FileFolder(package, 0)));
  }
}

// Every part that is not whole gets one red line after the scanner's lines, and the row is
// repaired but incomplete; the whole parts are still all there.
TEST_F(RepairJobTest, PartsThatAreNotWholeAreLoggedAndTheRowIsIncomplete) {
  const Bytes xml = testsupport::XmlLikeBytes(30000, 7);
  testsupport::PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add({.name = "word/flipped.xml",
               .content = testsupport::ToBytes("stored content"),
               .method = 0,
               .data = testsupport::ToBytes("stored c0ntent")});
  builder.Add({.name = "word/lzma.bin", .content = testsupport::ToBytes("lzma"), .method = 14});
  builder.Add({.name = "word/cut.xml", .content = xml});
  const Bytes whole = builder.Build(false);
  const std::string package = Package("in/Cut.dotm", Bytes(whole.begin(), whole.end() - 1000));
  const std::string good = Package("in/Good.dotm");
  RecordingView view({package, good});
  RunRepair(view);

  std::vector<LogLine> lines = RepairedLines(package);
  const std::vector<LogLine> red{
      {package + " part word/flipped.xml is damaged....\r\n", kRed},
      {package + " part word/lzma.bin could not be recovered....\r\n", kRed},
      {package + " part word/cut.xml is cut short....\r\n", kRed},
      // The package held no content types: the repair wrote them, and says so.
      {package + " part [Content_Types].xml is rebuilt....\r\n", kRed}};
  lines.insert(lines.begin() + 3, red.begin(), red.end());
  EXPECT_EQ(view.Log(), Concat({lines, RepairedLines(good), RepairEndLines()}));
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kRepair, 0, engine::RowResult::kIncomplete},
                                     {engine::JobKind::kRepair, 1, engine::RowResult::kWhole}}));
  EXPECT_EQ(view.rows[0].data, engine::kRowRepaired);
  EXPECT_EQ(ReadText(FileFolder(package, 0) / "word" / "document.xml"), "document");
}

TEST_F(RepairJobTest, EmptyListShowsAndHidesTheBarsAndEndsNormally) {
  RecordingView view;
  RunRepair(view);
  EXPECT_EQ(view.Log(), RepairEndLines());
  const auto calls = view.Calls();
  EXPECT_NE(std::find(calls.begin(), calls.end(), "ShowProgressArea(1,1)"), calls.end());
  EXPECT_EQ(calls.back(), "ShowProgressArea(0,0)");
  EXPECT_TRUE(view.canSelect && view.canSave);
  EXPECT_EQ(running_.load(), 0);
}

TEST_F(RepairJobTest, SameFileNameFromTwoFoldersGetsTwoFileFolders) {
  const std::string first = Package("a/Report.dotm");
  testsupport::PackageBuilder other;
  other.AddDeflated("word/document.xml", "<w:document>second</w:document>");
  const std::string second = Package("b/Report.dotm", other.Build());
  RecordingView view({first, second});
  RunRepair(view);

  // The second holds only its document: the repair wrote its content types and package
  // relationships, and says so.
  std::vector<LogLine> secondLines = RepairedLines(second);
  const std::vector<LogLine> rebuilt{
      {second + " part [Content_Types].xml is rebuilt....\r\n", kRed},
      {second + " part _rels/.rels is rebuilt....\r\n", kRed}};
  secondLines.insert(secondLines.begin() + 3, rebuilt.begin(), rebuilt.end());
  EXPECT_EQ(view.Log(), Concat({RepairedLines(first), secondLines, RepairEndLines()}));
  EXPECT_TRUE(fs::exists(FileFolder(first, 0) / "word" / "media" / "image1.png"));
  EXPECT_EQ(ReadText(FileFolder(second, 1) / "word" / "document.xml"),
            "<w:document>second</w:document>");
  EXPECT_FALSE(fs::exists(FileFolder(second, 1) / "word" / "media"));
  // Parts written anew are not the package's own: only the first came back whole.
  EXPECT_EQ(view.FinishedRows(),
            (std::vector<RecordingView::Finished>{
                {engine::JobKind::kRepair, 0, engine::RowResult::kWhole},
                {engine::JobKind::kRepair, 1, engine::RowResult::kIncomplete}}));
}

// Stop confirmed while the second of three packages is handled: the third always gets the stop
// lines and loses its repaired state. Stopped after its extraction the second is finished;
// stopped as it opens, its scan ends before any part is found, so it is not marked repaired.
TEST_F(RepairJobTest, StopDuringSecondOfThree) {
  const struct {
    const char *label, *trigger;
    bool secondRepaired;
  } cases[] = {{"extracted", " file is extracted", true}, {"opened", " file is open", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> p;
    for (const char* name : {"One.dotm", "Two.dotm", "Three.dotm"})
      p.push_back(Package(fs::path(c.label) / name));
    RecordingView view(p);
    view.rows[2].data = view.rows[2].image = 1;
    view.OnLogContaining(p[1] + c.trigger, [this] { running_ = 0; });
    RunRepair(view);

    EXPECT_EQ(view.Log(), Concat({RepairedLines(p[0]),
                                  c.secondRepaired ? RepairedLines(p[1]) : RepairFailedLines(p[1]),
                                  RepairStoppedLines(p[2]), RepairEndLines()}));
    EXPECT_EQ(view.rows[0].data, 1);
    EXPECT_EQ(view.rows[1].data, c.secondRepaired ? 1 : 0);
    EXPECT_EQ(view.rows[2].data, 0);
    EXPECT_EQ(view.rows[2].image, 0);
    const auto results = view.FinishedRows();
    ASSERT_EQ(results.size(), 3u);
    // Stopped during its scan, the second package may have parts that were never looked for.
    EXPECT_EQ(results[1].result,
              c.secondRepaired ? engine::RowResult::kWhole : engine::RowResult::kFailed);
    EXPECT_EQ(results[2].result, engine::RowResult::kFailed);
    EXPECT_FALSE(fs::exists(FileFolder(p[2], 2)));
    EXPECT_EQ(view.barPos[engine::ProgressBar::kTotal], 3);
  }
}

// Data whose header was destroyed comes back under the name its content tells, said in red; the
// row is not whole, as the name is a conclusion.
TEST_F(RepairJobTest, DataUnderADestroyedHeaderIsLoggedAsIdentified) {
  const auto parts = testsupport::SampleTemplateParts();
  testsupport::PackageBuilder builder;
  for (const auto& [name, content] : parts)
    builder.Add({.name = name, .content = content});
  Bytes bytes = builder.Build();
  // The content types tell themselves by their root; nothing in this package leads to the image
  // by name, so an image would be left out.
  const std::size_t types = 0;
  ASSERT_EQ(parts[types].first, "[Content_Types].xml");
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(builder.HeaderOffsets()[types]), 4,
              std::uint8_t{0});
  const std::string package = Package("in/Report.dotm", bytes);
  RecordingView view({package});
  RunRepair(view);
  const std::string line =
      package + " part [Content_Types].xml is identified by its content....\r\n";
  const auto log = view.Log();
  EXPECT_NE(std::find(log.begin(), log.end(), LogLine{line, kRed}), log.end()) << view.LogText();
  EXPECT_EQ(view.FinishedRows(),
            (std::vector<RecordingView::Finished>{
                {engine::JobKind::kRepair, 0, engine::RowResult::kIncomplete}}));
  EXPECT_EQ(testsupport::ReadFileBytes(FileFolder(package, 0) / "[Content_Types].xml"),
            parts[types].second);
}

// A package copied in text mode is read with the copy's damage undone: every part whole, one
// line says why, and the restored copy does not stay in the working folder.
TEST_F(RepairJobTest, PackageCopiedInTextModeIsRepairedWhole) {
  Bytes bytes;
  for (const std::uint8_t byte : SampleTemplatePackage()) {
    if (byte == 0x0A) bytes.push_back(0x0D);
    bytes.push_back(byte);
  }
  const std::string package = Package("in/Report.dotm", bytes);
  RecordingView view({package});
  RunRepair(view);
  const auto log = view.Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), (LogLine{package + std::string(engine::kLogTextModeUndone), kBlack}));
  EXPECT_EQ(view.FinishedRows(), (std::vector<RecordingView::Finished>{
                                     {engine::JobKind::kRepair, 0, engine::RowResult::kWhole}}))
      << view.LogText();
  for (const auto& item : fs::directory_iterator(engine::GetWorkingFolder())) {
    EXPECT_TRUE(item.is_directory()) << item.path();
  }
}

}  // namespace
}  // namespace jobstest
