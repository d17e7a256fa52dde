// dotm-repair --report: the JSON report of a run, read back with a strict reader of our own
// (and with Python's where there is one), against packages built byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <string>

#include "cli/report_json.h"
#include "platform/test_helpers.h"
#include "testkit/json_parse.h"
#include "tests/jobs/job_test_fixture.h"

namespace jobstest {
namespace {

using testsupport::JsonValue;
using testsupport::PackageBuilder;
using testsupport::ParseJson;

std::string Crc32Hex(const Bytes& bytes) {
  const auto crc = crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
  char text[9];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(crc));
  return text;
}

// Standard streams on Windows are text streams: each "\n" reaches the file as "\r\n".
std::string AsWritten(std::string text) {
#ifdef _WIN32
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
    text.erase(at, 1);
#endif
  return text;
}

TEST(ReportJsonTest, StringsAreEscapedAndMadeValidUtf8) {
  using cli::JsonString;
  EXPECT_EQ(JsonString("plain/name.xml"), "\"plain/name.xml\"");
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString(std::string("\n\r\t\b\f\x01\x1f\x7f", 8)),
            "\"\\n\\r\\t\\b\\f\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  // Well-formed sequences of two, three and four bytes stay as they are.
  EXPECT_EQ(JsonString("R\xC3\xA9sum\xC3\xA9 \xE5\xA0\xB1 \xF0\x9F\x98\x80"),
            "\"R\xC3\xA9sum\xC3\xA9 \xE5\xA0\xB1 \xF0\x9F\x98\x80\"");
  // Ill-formed ones become U+FFFD, one for each maximal part of a sequence.
  EXPECT_EQ(JsonString("a\xFF\xFE"), "\"a\\ufffd\\ufffd\"");                      // never in UTF-8
  EXPECT_EQ(JsonString("\xC0\x80"), "\"\\ufffd\\ufffd\"");                        // overlong NUL
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");             // a surrogate
  EXPECT_EQ(JsonString("\xF4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");  // > U+10FFFF
  EXPECT_EQ(JsonString("\xE2\x82"
                       "A"),
            "\"\\ufffdA\"");                               // cut sequence, then a letter
  EXPECT_EQ(JsonString("end\xE2\x82"), "\"end\\ufffd\"");  // cut by the end of the text
  EXPECT_EQ(JsonString("\x80"
                       "x"),
            "\"\\ufffdx\"");  // a lone continuation byte

  EXPECT_TRUE(cli::IsValidUtf8("R\xC3\xA9sum\xC3\xA9"));
  EXPECT_FALSE(cli::IsValidUtf8("a\xFF"));
  EXPECT_FALSE(cli::IsValidUtf8("\xED\xA0\x80"));
}

TEST(ReportJsonTest, WriterNestsValuesAndTheReaderTakesThem) {
  cli::JsonWriter json;
  json.BeginObject();
  json.Key("list");
  json.BeginArray();
  json.Number(std::uint64_t{18446744073709551615u});
  json.Bool(false);
  json.Null();
  json.BeginObject();
  json.EndObject();
  json.BeginArray();
  json.EndArray();
  json.String("x\xFFy");
  json.EndArray();
  json.Key("n");
  json.Number(-3);
  json.EndObject();
  std::string error;
  const auto value = ParseJson(json.Text(), &error);
  ASSERT_TRUE(value) << error << "\n" << json.Text();
  EXPECT_EQ((*value)["list"].items.size(), 6u);
  EXPECT_EQ((*value)["list"][0].Unsigned(), 18446744073709551615u);
  EXPECT_EQ((*value)["list"][5].string, "x\xEF\xBF\xBDy");
  EXPECT_EQ((*value)["n"].number, "-3");
  EXPECT_EQ(json.Text().back(), '\n');
  // The reader is strict: what the writer must never produce is refused.
  for (const char* bad : {"{\"a\":1,}", "[1 2]", "\"a\x01\"", "\"\xFF\"", "01", "{\"a\":1,\"a\":2}",
                          "\"\\ud800\"", "[1]x", "\"\\q\""}) {
    EXPECT_FALSE(ParseJson(bad)) << bad;
  }
}

class ReportTest : public JobTest {
 protected:
  struct RunResult {
    int status = -1;
    std::string out, err;
  };

  RunResult Run(const std::vector<std::string>& words) {
    const fs::path out = Root() / "stdout.txt";
    const fs::path err = Root() / "stderr.txt";
    RunResult result;
    result.status = platform::testing::RunProgram(DOTM_REPAIR_BINARY, words, Root(), out, err);
    result.out = AsWritten(ReadText(out));
    result.err = AsWritten(ReadText(err));
    return result;
  }

  // The report at Root()/name, read strictly; a failed expectation when it is not valid JSON.
  JsonValue Report(const std::string& name = "report.json") {
    const std::string text = ReadText(Root() / name);
    std::string error;
    auto value = ParseJson(text, &error);
    EXPECT_TRUE(value) << error << "\n" << text;
    return value ? *value : JsonValue{};
  }

  // The report's parts of the one package by name (the last of a name wins).
  static std::map<std::string, JsonValue> PartsByName(const JsonValue& package) {
    std::map<std::string, JsonValue> parts;
    for (const auto& part : package["parts"].items)
      parts[part["name"].string] = part;
    return parts;
  }

  // The log's red lines about parts, as the report's outcome texts say them.
  static std::vector<std::string> OutcomeTexts(const JsonValue& package) {
    std::vector<std::string> texts;
    for (const auto& text : package["outcomes"].items)
      texts.push_back(text.string);
    return texts;
  }
};

TEST_F(ReportTest, IntactPackageIsWholeInEveryPart) {
  PackageBuilder builder;
  const auto parts = testsupport::SampleTemplateParts();
  for (const auto& [name, content] : parts)
    builder.Add({.name = name, .content = content, .method = 8});
  WriteFile("in/Intact.dotm", builder.Build());
  const auto result = Run({"-o", "out", "--report", "report.json", "in/Intact.dotm"});
  ASSERT_EQ(result.status, 0) << result.err;
  const JsonValue report = Report();
  EXPECT_EQ(report["report"].string, "dotm-repair");
  EXPECT_EQ(report["version"].Unsigned(), 1u);
  EXPECT_EQ(report["exit_status"].number, "0");
  EXPECT_EQ(report["output_folder"].string, "out");
  EXPECT_FALSE(report["interrupted"].boolean);
  ASSERT_EQ(report["packages"].items.size(), 1u);
  const JsonValue& package = report["packages"][0];
  EXPECT_EQ(package["input"].string, "in/Intact.dotm");
  EXPECT_EQ(platform::PathFromUtf8(package["output"].string),
            fs::path("out") / "ZARVEL_Intact.dotm");
  EXPECT_EQ(package["result"].string, "whole");
  EXPECT_TRUE(package["outcomes"].items.empty());
  EXPECT_EQ(package["repair"]["result"].string, "whole");
  EXPECT_TRUE(package["repair"]["opened"].boolean);
  EXPECT_EQ(package["save"]["result"].string, "whole");
  EXPECT_EQ(package["save"]["outcome"].string, "saved");
  EXPECT_EQ(package["save"]["media"].string, "not_asked");
  EXPECT_TRUE(package["self_check"]["passed"].boolean);
  EXPECT_TRUE(package["self_check"]["failures"].items.empty());
  EXPECT_EQ(package["tree"]["content_types"].string, "kept");
  EXPECT_TRUE(package["tree"]["rewritten"].items.empty());

  ASSERT_EQ(package["parts"].items.size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const JsonValue& part = package["parts"][i];
    SCOPED_TRACE(parts[i].first);
    EXPECT_EQ(part["name"].string, parts[i].first);
    EXPECT_FALSE(part.Has("name_hex"));
    EXPECT_EQ(part["fate"].string, "whole");
    EXPECT_EQ(part["extraction"].string, "whole");
    EXPECT_TRUE(part["found"].boolean);
    EXPECT_TRUE(part["kept"].boolean);
    EXPECT_EQ(part["header_offset"].Unsigned(), builder.HeaderOffsets()[i]);
    EXPECT_EQ(part["data_offset"].Unsigned(),
              builder.HeaderOffsets()[i] + 30 + parts[i].first.size());
    EXPECT_EQ(part["method"].Unsigned(), 8u);
    EXPECT_EQ(part["compressed_size"].Unsigned(), testsupport::RawDeflate(parts[i].second).size());
    EXPECT_EQ(part["uncompressed_size"].Unsigned(), parts[i].second.size());
    EXPECT_EQ(part["extracted_size"].Unsigned(), parts[i].second.size());
    EXPECT_TRUE(part["in_central_directory"].boolean);
    EXPECT_EQ(part["crc32"]["expected"].string, Crc32Hex(parts[i].second));
    EXPECT_EQ(part["crc32"]["computed"].string, Crc32Hex(parts[i].second));
    EXPECT_EQ(part["crc32"]["status"].string, "match");
  }
}

// Cut short at the end, one part in a method nobody decodes: the report says which is which,
// with the same words as the log's red lines.
TEST_F(ReportTest, CutPackageHasAPartialAndALostPart) {
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "<w:document/>");
  builder.Add({.name = "word/packed.bin",
               .content = testsupport::NoiseBytes(500),
               .method = 12,
               .data = testsupport::NoiseBytes(400, 9)});
  const Bytes cutXml = testsupport::XmlLikeBytes(30000, 7);
  builder.Add({.name = "word/cut.xml", .content = cutXml});
  const Bytes whole = builder.Build(false);
  WriteFile("Cut.dotm", Bytes(whole.begin(), whole.end() - 1000));
  const auto result = Run({"--report", "report.json", "Cut.dotm"});
  EXPECT_EQ(result.status, 3) << result.err;
  const JsonValue report = Report();
  EXPECT_EQ(report["exit_status"].number, "3");
  const JsonValue& package = report["packages"][0];
  EXPECT_EQ(package["result"].string, "incomplete");
  auto parts = PartsByName(package);

  const JsonValue& cut = parts["word/cut.xml"];
  EXPECT_EQ(cut["fate"].string, "partial");
  EXPECT_EQ(cut["extraction"].string, "cut_short");
  EXPECT_EQ(cut["crc32"]["expected"].string, Crc32Hex(cutXml));
  EXPECT_EQ(cut["crc32"]["status"].string, "incomplete");
  EXPECT_FALSE(cut["crc32"]["computed"].IsNull());
  EXPECT_GT(cut["extracted_size"].Unsigned(), 0u);
  EXPECT_LT(cut["extracted_size"].Unsigned(), cutXml.size());
  EXPECT_EQ(cut["header_offset"].Unsigned(), builder.HeaderOffsets()[2]);

  const JsonValue& lost = parts["word/packed.bin"];
  EXPECT_EQ(lost["fate"].string, "lost");
  EXPECT_EQ(lost["extraction"].string, "unsupported_method");
  EXPECT_EQ(lost["method"].Unsigned(), 12u);
  EXPECT_TRUE(lost["extracted_size"].IsNull());
  EXPECT_TRUE(lost["crc32"]["computed"].IsNull());
  EXPECT_EQ(lost["crc32"]["status"].string, "not_decoded");

  EXPECT_EQ(parts["word/document.xml"]["fate"].string, "whole");
  // No content types and no package relationships were found: the repair wrote them, parts no
  // copy found stands for.
  for (const char* name : {"[Content_Types].xml", "_rels/.rels"}) {
    SCOPED_TRACE(name);
    const JsonValue& written = parts[name];
    EXPECT_EQ(written["fate"].string, "rebuilt");
    EXPECT_FALSE(written["found"].boolean);
    EXPECT_TRUE(written["kept"].boolean);
    EXPECT_TRUE(written["header_offset"].IsNull());
    EXPECT_TRUE(written["extraction"].IsNull());
  }
  EXPECT_EQ(package["tree"]["content_types"].string, "stored_copy");
  EXPECT_EQ(package["tree"]["relationship_parts_rebuilt"].Unsigned(), 1u);

  // Every red line of the log about this package, and nothing else, is an outcome.
  std::vector<std::string> redLines;
  for (const std::string line :
       {"part word/packed.bin could not be recovered....", "part word/cut.xml is cut short....",
        "part [Content_Types].xml is rebuilt....", "part _rels/.rels is rebuilt...."}) {
    EXPECT_NE(result.out.find("Cut.dotm " + line + "\n"), std::string::npos) << result.out;
    redLines.push_back(line);
  }
  EXPECT_EQ(OutcomeTexts(package), redLines);
}

// A relationship to a part that is not there is removed: the relationships part is rewritten,
// and so rebuilt, though it came out of the package whole.
TEST_F(ReportTest, RelationshipsToMissingPartsAreRemovedAndThePartIsRebuilt) {
  PackageBuilder builder;
  for (auto [name, content] : testsupport::SampleTemplateParts()) {
    if (name == "word/_rels/document.xml.rels") {
      content = testsupport::ToBytes(
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
          "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
          "Target=\"styles.xml\"/><Relationship Id=\"rId2\" "
          "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
          "Target=\"media/gone.png\"/></Relationships>");
    }
    builder.Add({.name = name, .content = content, .method = 8});
  }
  WriteFile("Rels.dotm", builder.Build());
  const auto result = Run({"--report=report.json", "Rels.dotm"});
  EXPECT_EQ(result.status, 3) << result.err;
  const JsonValue package = Report()["packages"][0];
  auto parts = PartsByName(package);
  const JsonValue& rels = parts["word/_rels/document.xml.rels"];
  EXPECT_EQ(rels["fate"].string, "rebuilt");
  EXPECT_EQ(rels["extraction"].string, "whole");
  EXPECT_EQ(rels["crc32"]["status"].string, "match");
  EXPECT_TRUE(rels["found"].boolean);
  EXPECT_EQ(package["tree"]["relationships_removed"].Unsigned(), 1u);
  ASSERT_EQ(package["tree"]["rewritten"].items.size(), 1u);
  EXPECT_EQ(package["tree"]["rewritten"][0].string, "word/_rels/document.xml.rels");
  EXPECT_EQ(OutcomeTexts(package),
            std::vector<std::string>{"part word/_rels/document.xml.rels is rebuilt...."});
  EXPECT_EQ(parts["word/styles.xml"]["fate"].string, "whole");
  EXPECT_TRUE(package["self_check"]["passed"].boolean);
}

// A header destroyed while the directory still lists the part: the data found by its content
// stands for the name, and the directory's entry, which gave nothing, does not say it is lost.
TEST_F(ReportTest, DataIdentifiedByItsContentStandsForItsName) {
  PackageBuilder builder;
  std::size_t documentIndex = 0;
  std::size_t index = 0;
  for (auto [name, content] : testsupport::SampleTemplateParts()) {
    if (name == "word/document.xml") {
      documentIndex = index;
      content = testsupport::ToBytes(
          "<?xml version=\"1.0\"?><w:document xmlns:w=\"http://schemas.openxmlformats.org/"
          "wordprocessingml/2006/main\"><w:body><w:p><w:r><w:t>Text</w:t></w:r></w:p></w:body>"
          "</w:document>");
    }
    builder.Add({.name = name, .content = content, .method = 8});
    ++index;
  }
  Bytes bytes = builder.Build();
  const std::size_t header = builder.HeaderOffsets()[documentIndex];
  std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(header), 4, std::uint8_t{0xAA});
  WriteFile("Destroyed.dotm", bytes);
  const auto result = Run({"--report=report.json", "Destroyed.dotm"});
  EXPECT_EQ(result.status, 3) << result.err;
  const JsonValue package = Report()["packages"][0];
  std::vector<std::string> standing;
  for (const auto& part : package["parts"].items) {
    if (part["name"].string != "word/document.xml") continue;
    if (part["kept"].boolean || !part["found"].boolean) standing.push_back(part["fate"].string);
  }
  EXPECT_EQ(standing, std::vector<std::string>{"identified"}) << result.out;
}

// Names from a damaged file need not be UTF-8, nor free of quotes and control characters: the
// document stays valid, the names readable, their bytes given in hex.
TEST_F(ReportTest, DamagedNameThatIsNotUtf8KeepsTheReportValid) {
  const std::string badName = "word/media/bad\xFF\xFE\xC3(.png";
  const std::string oddName = "word/q\"uote\x01.xml";
  PackageBuilder builder;
  for (const auto& [name, content] : testsupport::SampleTemplateParts())
    builder.Add({.name = name, .content = content, .method = 8});
  builder.Add({.name = badName, .content = testsupport::NoiseBytes(100), .method = 0});
  builder.Add({.name = oddName, .content = testsupport::ToBytes("<a/>"), .method = 0});
  WriteFile("Names.dotm", builder.Build());
  const auto result = Run({"--report", "report.json", "Names.dotm"});
  EXPECT_NE(result.status, 2) << result.err;
  const std::string text = ReadText(Root() / "report.json");
  const JsonValue package = Report()["packages"][0];
  auto parts = PartsByName(package);
  const std::string shown = "word/media/bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD(.png";
  ASSERT_TRUE(parts.contains(shown)) << text;
  EXPECT_EQ(parts[shown]["name_hex"].string, "776f72642f6d656469612f626164fffec3282e706e67");
  ASSERT_TRUE(parts.contains(oddName)) << text;
  EXPECT_FALSE(parts[oddName].Has("name_hex"));
  EXPECT_NE(text.find("word/q\\\"uote\\u0001.xml"), std::string::npos);

  // An independent reader agrees, where there is one: Python's, reading the file as UTF-8.
  const fs::path python = "/usr/bin/python3";
  if (!platform::testing::HasPosixFileSystem() || !fs::exists(python)) {
    GTEST_SKIP() << "no python3 to read the report a second way";
  }
  const int status = platform::testing::RunProgram(
      python,
      {"-c",
       "import json,sys; r=json.load(open('report.json',encoding='utf-8',errors='strict'));"
       "sys.exit(0 if len(r['packages'][0]['parts'])>=11 else 3)"},
      Root(), Root() / "py.out", Root() / "py.err");
  EXPECT_EQ(status, 0) << ReadText(Root() / "py.err");
}

// A name beyond ASCII is the package's own bytes wherever the report gives it: in the parts and
// in what the tree pass did to it.
TEST_F(ReportTest, NameBeyondAsciiIsTheSameInPartsAndTree) {
  const std::string name =
      "word/gl\xC3\xBC"
      "ck.xml";  // "glück"
  PackageBuilder builder;
  builder.AddDeflated("word/document.xml", "<w:document/>");
  builder.Add({.name = name, .content = testsupport::XmlLikeBytes(30000, 5)});
  const Bytes whole = builder.Build(false);
  WriteFile("Glueck.dotm", Bytes(whole.begin(), whole.end() - 1000));
  const auto result = Run({"--report", "report.json", "Glueck.dotm"});
  EXPECT_EQ(result.status, 3) << result.err;
  const JsonValue package = Report()["packages"][0];
  auto parts = PartsByName(package);
  ASSERT_TRUE(parts.contains(name));
  EXPECT_EQ(parts[name]["fate"].string, "partial");
  ASSERT_EQ(package["tree"]["xml_closed"].items.size(), 1u);
  EXPECT_EQ(package["tree"]["xml_closed"][0].string, name);
}

TEST_F(ReportTest, MissingPackageSaysWhyInTheReport) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run({"--report", "report.json", "Good.dotm", "Missing.dotm"});
  EXPECT_EQ(result.status, 1);
  const JsonValue report = Report();
  ASSERT_EQ(report["packages"].items.size(), 2u);
  EXPECT_EQ(report["packages"][0]["result"].string, "whole");
  const JsonValue& missing = report["packages"][1];
  EXPECT_EQ(missing["input"].string, "Missing.dotm");
  EXPECT_EQ(missing["result"].string, "failed");
  EXPECT_TRUE(missing["output"].IsNull());
  EXPECT_FALSE(missing["repair"]["opened"].boolean);
  EXPECT_TRUE(missing["parts"].items.empty());
  EXPECT_TRUE(missing["tree"].IsNull());
  EXPECT_TRUE(missing["self_check"].IsNull());
  EXPECT_FALSE(missing["save"]["attempted"].boolean);
  platform::File file;
  EXPECT_FALSE(file.Open(Root() / "Missing.dotm", platform::File::Mode::kRead));
  EXPECT_EQ(OutcomeTexts(missing),
            (std::vector<std::string>{"extraction of file failed....", platform::LastErrorText(),
                                      "cannot be saved,as it is not Repaired."}));
}

// "-": the JSON alone on standard output, the log on standard error.
TEST_F(ReportTest, DashWritesTheReportToStandardOutput) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run({"--report", "-", "Good.dotm"});
  EXPECT_EQ(result.status, 0) << result.err;
  std::string error;
  const auto report = ParseJson(result.out, &error);
  ASSERT_TRUE(report) << error << "\n" << result.out;
  EXPECT_EQ((*report)["packages"][0]["input"].string, "Good.dotm");
  EXPECT_NE(result.err.find("Good.dotm  Repaired....\n"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(Root() / "-"));
}

// The user named the file: an older one is replaced, and only by a whole report.
TEST_F(ReportTest, ExistingReportIsReplacedWithNothingLeftBeside) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  WriteFile("reports/report.json", "older report");
  const auto result = Run({"--report", "reports/report.json", "Good.dotm"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Report("reports/report.json")["packages"][0]["result"].string, "whole");
  EXPECT_EQ(EntryNames(Root() / "reports"), std::vector<std::string>{"report.json"});
}

// A folder that is not there, or a file where the folder should be.
TEST_F(ReportTest, ReportInAFolderThatDoesNotExistEndsTheRunBeforeAnyWork) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  for (const std::string name : {"nowhere/report.json", "Good.dotm/report.json"}) {
    SCOPED_TRACE(name);
    const auto result = Run({"--report", name, "Good.dotm"});
    EXPECT_EQ(result.status, 1);
    const std::string head = "dotm-repair: cannot write report " + name + ": ";
    EXPECT_EQ(result.err.rfind(head, 0), 0u) << result.err;
    EXPECT_GT(result.err.size(), head.size() + 2) << "the system's reason follows";
    EXPECT_TRUE(result.out.empty()) << result.out;
    EXPECT_FALSE(fs::exists(Root() / "ZARVEL_Good.dotm"));
  }
  EXPECT_FALSE(fs::exists(Root() / "nowhere"));
}

TEST_F(ReportTest, ReportInAFolderThatCannotBeWrittenEndsTheRun) {
  if (!platform::testing::HasPosixFileSystem()) GTEST_SKIP() << "needs POSIX modes";
  if (platform::testing::IsSuperUser()) GTEST_SKIP() << "the super-user writes anywhere";
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  fs::create_directory(Root() / "locked");
  fs::permissions(Root() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const auto result = Run({"--report", "locked/report.json", "Good.dotm"});
  fs::permissions(Root() / "locked", fs::perms::owner_all);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind("dotm-repair: cannot write report locked/report.json: ", 0), 0u)
      << result.err;
  EXPECT_TRUE(fs::is_empty(Root() / "locked"));
  EXPECT_FALSE(fs::exists(Root() / "ZARVEL_Good.dotm"));
}

// A write that fails at the end (here: no file may grow past 32 KiB, as on a full disk; the
// report of eight packages is larger, each package and the log are not) leaves the older report
// as it was and says so in the exit status.
TEST_F(ReportTest, ReportThatCannotBeWrittenAtTheEndLeavesTheOlderOne) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  WriteFile("report.json", "older report");
  std::vector<std::string> words{"--report", "report.json"};
  words.insert(words.end(), 8, "Good.dotm");
  RunResult result;
  {
    platform::testing::FileSizeLimit limit(32 * 1024);
    if (!limit.Active()) GTEST_SKIP() << "no file size limit on this system";
    result = Run(words);
  }
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.find("failed"), std::string::npos) << "only the report failed";
  EXPECT_NE(result.err.find("dotm-repair: cannot write report report.json: "), std::string::npos)
      << result.err;
  EXPECT_EQ(ReadText(Root() / "report.json"), "older report");
  for (const auto& name : EntryNames(Root()))
    EXPECT_EQ(name.find(".report.json."), std::string::npos) << name;
}

// What the user asked to keep, or to get, is never replaced by a report.
TEST_F(ReportTest, ReportNamedLikeAnInputOrASavedFileIsAUsageError) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const Bytes before = testsupport::ReadFileBytes(Root() / "Good.dotm");
  fs::create_directory(Root() / "out");
  for (const std::vector<std::string>& words :
       {std::vector<std::string>{"--report", "Good.dotm", "Good.dotm"},
        {"--report", "./Good.dotm", "Good.dotm"},
        {"-o", "out", "--report", "out/ZARVEL_Good.dotm", "Good.dotm"},
        {"-o", "out", "--media", "--report", "out/Good.dotm_MediaContent", "Good.dotm"},
        {"--report", "out", "Good.dotm"},
        {"--report", "", "Good.dotm"},
        {"Good.dotm", "--report"}}) {
    SCOPED_TRACE(words.back() + " " + words[1]);
    const auto result = Run(words);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.rfind("dotm-repair: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("report"), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  EXPECT_EQ(testsupport::ReadFileBytes(Root() / "Good.dotm"), before);
  EXPECT_TRUE(fs::is_empty(Root() / "out"));
}

}  // namespace
}  // namespace jobstest
