#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "cli/cli_options.h"
#include "cli/console_view.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/test_helpers.h"
#include "testkit/zip_parse.h"
#include "tests/jobs/job_test_fixture.h"
#include "tests/jobs/program_run.h"

namespace jobstest {
namespace {

using cli::CliOptions;

CliOptions Parse(std::initializer_list<std::string_view> args) {
  const std::vector<std::string_view> list(args);
  return cli::ParseArguments(list);
}

TEST(CliOptionsTest, FilesOptionsAndTheirOrder) {
  const auto tmp = fs::temp_directory_path().string();
  auto options = Parse({"a.dotm", "--media", "-o", tmp, "b.dotm"});
  EXPECT_EQ(options.action, CliOptions::Action::kRun);
  EXPECT_TRUE(options.extractMedia);
  EXPECT_EQ(options.outputFolder, tmp);
  EXPECT_EQ(options.files, (std::vector<std::string>{"a.dotm", "b.dotm"}));

  options = Parse({"--", "-odd.dotm"});
  EXPECT_EQ(options.files, std::vector<std::string>{"-odd.dotm"});
  EXPECT_EQ(options.outputFolder, ".");
  EXPECT_FALSE(options.extractMedia);

  EXPECT_EQ(Parse({"--help", "--bogus"}).action, CliOptions::Action::kHelp);
  EXPECT_EQ(Parse({"--version"}).action, CliOptions::Action::kVersion);
}

TEST(ConsoleViewTest, MarkupBecomesPlainText) {
  EXPECT_EQ(
      cli::PlainTextFromMarkup("Saved file(s) location is:<br><a href='/tmp/out'>/tmp/out</a>"),
      "Saved file(s) location is:\n/tmp/out");
  EXPECT_EQ(cli::PlainTextFromMarkup("<b>a &amp; b</b> &lt;c&gt;"), "a & b <c>");
  EXPECT_EQ(cli::PlainTextFromMarkup("cut <a href"), "cut ");
}

// The exit status rests on the results the jobs report for each row, never on the log's text.
TEST(ConsoleViewTest, ExitStatusComesFromRowResults) {
  using engine::JobKind;
  using engine::RowResult;
  struct Case {
    const char* label;
    std::vector<std::pair<RowResult, RowResult>> rows;  // repair, save
    int status;
  };
  const Case cases[] = {
      {"all whole",
       {{RowResult::kWhole, RowResult::kWhole}, {RowResult::kWhole, RowResult::kWhole}},
       0},
      {"one part lost",
       {{RowResult::kWhole, RowResult::kWhole}, {RowResult::kIncomplete, RowResult::kWhole}},
       3},
      {"one not repaired",
       {{RowResult::kIncomplete, RowResult::kWhole}, {RowResult::kFailed, RowResult::kFailed}},
       1},
      {"one not saved",
       {{RowResult::kWhole, RowResult::kFailed}, {RowResult::kWhole, RowResult::kWhole}},
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::FILE* sink = std::tmpfile();
    ASSERT_NE(sink, nullptr);
    cli::ConsoleView view({"a.dotm", "b.dotm"}, ".", false, {.out = sink, .err = sink});
    // A log line that looks like success proves nothing.
    view.AppendLog("a.dotm saving of file done....\r\n", 0x009900);
    for (int row = 0; row < 2; ++row) {
      view.RowFinished(JobKind::kRepair, row, c.rows[row].first);
      view.RowFinished(JobKind::kSave, row, c.rows[row].second);
    }
    EXPECT_EQ(view.ExitStatus(), c.status);
    std::fclose(sink);
  }
  // A row the save job never reported was not saved.
  std::FILE* sink = std::tmpfile();
  ASSERT_NE(sink, nullptr);
  cli::ConsoleView view({"a.dotm"}, ".", false, {.out = sink, .err = sink});
  view.AppendLog("a.dotm saving of file done....\r\n", 0x009900);
  view.RowFinished(JobKind::kRepair, 0, RowResult::kWhole);
  EXPECT_EQ(view.ExitStatus(), 1);
  std::rewind(sink);
  char line[200] = {};
  ASSERT_NE(std::fgets(line, sizeof line, sink), nullptr);
  EXPECT_STREQ(line, "a.dotm saving of file done....\n");  // no colour when not a terminal
  std::fclose(sink);
}

class CliProgramTest : public JobTest {
 protected:
  // Runs the program in Root() with arguments split at spaces.
  RunResult Run(const std::string& arguments) {
    std::vector<std::string> words;
    for (std::size_t start = 0; start < arguments.size();) {
      const std::size_t end = std::min(arguments.find(' ', start), arguments.size());
      if (end > start) words.push_back(arguments.substr(start, end - start));
      start = end + 1;
    }
    return RunProgramIn(DOTM_REPAIR_BINARY, Root(), words);
  }
};

TEST_F(CliProgramTest, UsageErrorsExitWithTwo) {
  WriteFile("a_file", "x");
  for (const char* arguments : {"", "--media", "--bogus x.dotm", "-x x.dotm", "x.dotm -o",
                                "-o a_file x.dotm", "--output= x.dotm"}) {
    SCOPED_TRACE(arguments);
    const auto result = Run(arguments);
    EXPECT_EQ(result.status, 2);
    const std::string reason = result.err.substr(0, result.err.find('\n'));
    EXPECT_EQ(reason.rfind("dotm-repair: ", 0), 0u);
    EXPECT_GT(reason.size(), std::string("dotm-repair: ").size());
    EXPECT_TRUE(result.out.empty());
  }
}

TEST_F(CliProgramTest, HelpAndVersion) {
  auto result = Run("--help");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out.rfind("Usage: dotm-repair [--media] [-o DIR] [--report FILE] FILE...\n", 0),
            0u);
  EXPECT_NE(result.out.find("  3  every file was saved, but some parts are cut short, damaged"),
            std::string::npos);
  result = Run("--version");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out, "dotm-repair 1.0\n");
}

TEST_F(CliProgramTest, GoodPackageIsRepairedAndSaved) {
  WriteFile("in/Report.dotm", testsupport::SampleTemplatePackage());
  fs::create_directories(Root() / "out");
  const auto result = Run("--media -o out in/Report.dotm");
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string p = "in/Report.dotm";
  const std::string expected =
      p + " file is open....\n" + p + " file is extracted....\n" + p + " file is closed....\n" + p +
      " preview of file is available....\n" + p + "  Repaired....\n" + kStars +
      "\nRepairing process completed....\n" + kUnderscores + "\n\n" + p +
      " saving of file starts....\n" + p + " Media extraction is done....\n" + p +
      " saving of file done....\n" + kStars + "\nSaving processing completed....\n" + kUnderscores +
      "\n\n";
  EXPECT_EQ(result.out, expected);
  EXPECT_EQ(result.err,
            "File(s) saving process has been completed.Saved file(s) location is:\nout\n");
  EXPECT_EQ(PartNamesOf(Root() / "out" / "ZARVEL_Report.dotm"), SamplePartNames());
  EXPECT_TRUE(fs::is_regular_file(Root() / "out" / "Report.dotm_MediaContent" / "image1.png"));
  // The private working folder went with the program.
  for (const auto& entry : fs::recursive_directory_iterator(Root())) {
    EXPECT_EQ(entry.path().filename().string().find("DtmTmp"), std::string::npos) << entry.path();
  }
}

// Saved, but with a part cut short: the log says which, and the status is 3, not 0.
TEST_F(CliProgramTest, PackageWithACutPartExitsWithThree) {
  testsupport::PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "document");
  builder.Add({.name = "word/cut.xml", .content = testsupport::XmlLikeBytes(30000, 7)});
  const Bytes whole = builder.Build(false);
  WriteFile("Cut.dotm", Bytes(whole.begin(), whole.end() - 1000));
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run("Good.dotm Cut.dotm");
  EXPECT_EQ(result.status, 3) << result.err;
  // The package held no content types: the repair wrote them, and says so.
  EXPECT_NE(result.out.find("Cut.dotm file is closed....\nCut.dotm part word/cut.xml is cut "
                            "short....\nCut.dotm part [Content_Types].xml is rebuilt....\n"
                            "Cut.dotm preview of file is available....\n"),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(fs::is_regular_file(Root() / "ZARVEL_Cut.dotm"));
  EXPECT_TRUE(fs::is_regular_file(Root() / "ZARVEL_Good.dotm"));
}

// As "unzip -d" does: a missing output folder is made, with its missing parents, and said so.
TEST_F(CliProgramTest, MissingOutputFolderIsCreatedAndSaidSo) {
  WriteFile("in/Report.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run("-o new/deeper in/Report.dotm");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err.substr(0, result.err.find('\n') + 1),
            "dotm-repair: created folder new/deeper\n");
  EXPECT_EQ(PartNamesOf(Root() / "new" / "deeper" / "ZARVEL_Report.dotm"), SamplePartNames());
}

TEST_F(CliProgramTest, OutputFolderThatCannotBeCreatedEndsTheRunWithOne) {
  WriteFile("a_file", "x");
  WriteFile("in/Report.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run("-o a_file/sub in/Report.dotm");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("dotm-repair: cannot create folder a_file/sub: ", 0), 0u)
      << result.err;
  EXPECT_TRUE(result.out.empty()) << "nothing repaired that could not be saved";
}

// The name arrives whole whatever its characters (on Windows from the wide command line).
TEST_F(CliProgramTest, NameWithCharactersBeyondAsciiIsRepairedAndSaved) {
  const std::string name = "R\xC3\xA9sum\xC3\xA9-\xE5\xA0\xB1\xE5\x91\x8A.dotm";
  WriteFile(platform::PathFromUtf8(name), testsupport::SampleTemplatePackage());
  const auto result = Run(name);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind(name + " file is open....\n", 0), 0u) << result.out;
  EXPECT_EQ(PartNamesOf(Root() / platform::PathFromUtf8("ZARVEL_" + name)), SamplePartNames());
}

TEST_F(CliProgramTest, MissingFileExitsWithOne) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run("Good.dotm Missing.dotm");
  EXPECT_EQ(result.status, 1);
  platform::File missing;
  EXPECT_FALSE(missing.Open(Root() / "Missing.dotm", platform::File::Mode::kRead));
  EXPECT_NE(result.err.find(platform::LastErrorText()), std::string::npos) << result.err;
  EXPECT_NE(result.out.find("Missing.dotm extraction of file failed....\n"), std::string::npos);
  EXPECT_NE(result.out.find("Missing.dotm cannot be saved,as it is not Repaired.\n"),
            std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(Root() / "ZARVEL_Good.dotm"));
}

// The saved package with its file times set to 0 (the DOS time and the extra fields, which hold
// the extended time stamp): the parts' times are those of the files the repair wrote, so two runs
// differ there and nowhere else.
Bytes WithoutFileTimes(Bytes bytes) {
  std::string error;
  const auto archive = zip_test::ParseArchive(bytes, &error);
  EXPECT_TRUE(archive.has_value()) << error;
  if (!archive) return bytes;
  const auto zero = [&bytes](std::size_t at, std::size_t count) {
    std::fill_n(bytes.begin() + static_cast<long>(at), count, 0);
  };
  std::size_t central = archive->directoryOffset;
  for (const auto& entry : archive->entries) {
    const std::size_t local = entry.localHeaderOffset;
    zero(local + 10, 4);
    zero(local + 30 + entry.local.name.size(), entry.local.extra.size());
    zero(central + 12, 4);
    zero(central + 46 + entry.name.size(), entry.extra.size());
    central += 46 + entry.name.size() + entry.extra.size() + entry.commentLength;
  }
  return bytes;
}

// Whatever runs at once, the program says and saves what it says and saves one file after the
// other.
class CliSeveralFilesTest : public CliProgramTest {
 protected:
  void TearDown() override {
    platform::UnsetEnvironmentValue("DOTM_REPAIR_THREADS");
    CliProgramTest::TearDown();
  }
  RunResult RunWithThreads(const char* threads, const std::string& arguments) {
    platform::SetEnvironmentValue("DOTM_REPAIR_THREADS", threads);
    return Run(arguments);
  }
  // Every saved package in Root()/folder, by name, its file times left out.
  std::map<std::string, Bytes> SavedPackages(const std::string& folder) {
    std::map<std::string, Bytes> saved;
    for (const auto& entry : fs::directory_iterator(Root() / folder)) {
      const std::string name = platform::Utf8FromPath(entry.path().filename());
      if (name.starts_with("ZARVEL_")) {
        saved[name] = WithoutFileTimes(testsupport::ReadFileBytes(entry.path()));
      }
    }
    return saved;
  }
  // Runs one file at a time into out, then several at once into out again (the first run's
  // folder moved aside): the logs, messages, statuses and packages must be the same.
  void ExpectSameAsOneAtATime(const std::string& files, int status) {
    const auto one = RunWithThreads("1", "--media -o out " + files);
    EXPECT_EQ(one.status, status) << one.err;
    const auto oneSaved = SavedPackages("out");
    fs::rename(Root() / "out", Root() / "out-one");
    const auto many = RunWithThreads("4", "--media -o out " + files);
    EXPECT_EQ(many.status, status) << many.err;
    EXPECT_EQ(many.out, one.out);
    EXPECT_EQ(many.err, one.err);
    const auto manySaved = SavedPackages("out");
    EXPECT_FALSE(manySaved.empty());
    EXPECT_EQ(manySaved.size(), oneSaved.size());
    for (const auto& [name, bytes] : oneSaved) {
      ASSERT_TRUE(manySaved.contains(name)) << name;
      EXPECT_TRUE(manySaved.at(name) == bytes) << name << " differs from one at a time";
    }
    ExpectBlocksInOrder(many.out, files);
  }
  // Each file's lines stand together, in the order of the files, in each job's part of the log.
  static void ExpectBlocksInOrder(const std::string& out, const std::string& files) {
    std::vector<std::string> paths;
    for (std::size_t start = 0; start < files.size();) {
      const std::size_t end = std::min(files.find(' ', start), files.size());
      paths.push_back(files.substr(start, end - start));
      start = end + 1;
    }
    std::size_t lineStart = 0;
    int last = -1;
    while (lineStart < out.size()) {
      const std::size_t lineEnd = std::min(out.find('\n', lineStart), out.size());
      const std::string_view line(out.data() + lineStart, lineEnd - lineStart);
      lineStart = lineEnd + 1;
      if (line.starts_with("Repairing process completed") ||
          line.starts_with("Saving processing completed")) {
        last = -1;  // the save job starts again from the first file
        continue;
      }
      // The longest listed path the line starts with (a path may begin another).
      int file = -1;
      for (int i = 0; i < static_cast<int>(paths.size()); ++i) {
        const std::string& path = paths[static_cast<std::size_t>(i)];
        if (line.starts_with(path + " ") &&
            (file < 0 || path.size() > paths[static_cast<std::size_t>(file)].size())) {
          file = i;
        }
      }
      if (file < 0) continue;
      EXPECT_GE(file, last) << "a line of an earlier file after a later one's: " << line;
      last = file;
    }
  }
  // A package of the sample's parts and one large generated part, so that it takes a while.
  Bytes LargePackage(std::uint32_t seed) {
    testsupport::PackageBuilder builder;
    for (const auto& [name, content] : testsupport::SampleTemplateParts()) {
      builder.Add({.name = name, .content = content});
    }
    builder.Add({.name = "word/large.xml", .content = testsupport::XmlLikeBytes(1500000, seed)});
    return builder.Build();
  }
};

TEST_F(CliSeveralFilesTest, LogAndPackagesAreThoseOfOneFileAtATime) {
  WriteFile("in/Large1.dotm", LargePackage(1));
  WriteFile("in/Small.dotm", testsupport::SampleTemplatePackage());
  testsupport::PackageBuilder cut;
  cut.AddDeflated("word/document.xml", "document");
  cut.Add({.name = "word/cut.xml", .content = testsupport::XmlLikeBytes(30000, 7)});
  const Bytes whole = cut.Build(false);
  WriteFile("in/Cut.dotm", Bytes(whole.begin(), whole.end() - 1000));
  WriteFile("in/Large2.dotm", LargePackage(2));
  WriteFile("in/Large3.dotm", LargePackage(3));
  // All saved, one with a part cut short: 3.
  ExpectSameAsOneAtATime("in/Large1.dotm in/Small.dotm in/Cut.dotm in/Large2.dotm in/Large3.dotm",
                         3);
}

// Two files of one name are saved under one name: the later one listed is what stays, as when
// they are saved one after the other; a missing file among them is not repaired (status 1).
TEST_F(CliSeveralFilesTest, FilesOfOneNameEndWithTheLaterOne) {
  WriteFile("in/a/Same.dotm", LargePackage(4));
  WriteFile("in/b/Same.dotm", testsupport::SampleTemplatePackage());
  WriteFile("in/Other.dotm", LargePackage(5));
  ExpectSameAsOneAtATime("in/a/Same.dotm in/Missing.dotm in/b/Same.dotm in/Other.dotm", 1);
  EXPECT_EQ(PartNamesOf(Root() / "out" / "ZARVEL_Same.dotm"), SamplePartNames());
}

// A FIFO among the files is refused at once; the files around it are repaired and saved, and
// the status says a file was not.
TEST_F(CliSeveralFilesTest, FifoAmongTheFilesIsRefusedAndTheOthersSaved) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "no FIFOs on this system";
  std::string why;
  fs::create_directories(Root() / "in");
  ASSERT_TRUE(platform::testing::CreateFifo(Root() / "in" / "Pipe.dotm", &why)) << why;
  WriteFile("in/Large1.dotm", LargePackage(6));
  WriteFile("in/Small.dotm", testsupport::SampleTemplatePackage());
  ExpectSameAsOneAtATime("in/Large1.dotm in/Pipe.dotm in/Small.dotm", 1);
  const auto result = RunWithThreads("4", "-o out2 in/Large1.dotm in/Pipe.dotm in/Small.dotm");
  EXPECT_NE(result.out.find("in/Pipe.dotm extraction of file failed....\n"), std::string::npos);
  EXPECT_NE(result.out.find("in/Pipe.dotm cannot be saved,as it is not Repaired.\n"),
            std::string::npos);
  EXPECT_NE(result.err.find("not a regular file"), std::string::npos) << result.err;
  EXPECT_TRUE(fs::is_regular_file(Root() / "out2" / "ZARVEL_Large1.dotm"));
  EXPECT_TRUE(fs::is_regular_file(Root() / "out2" / "ZARVEL_Small.dotm"));
  EXPECT_FALSE(fs::exists(Root() / "out2" / "ZARVEL_Pipe.dotm"));
}

}  // namespace
}  // namespace jobstest
