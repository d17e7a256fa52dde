// dotm-repair --report: the JSON report of a run, read back strictly with nlohmann/json (and
// with Python's reader where there is one), against packages built byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/report_json.h"
#include "platform/test_helpers.h"
#include "tests/jobs/job_test_fixture.h"
#include "tests/jobs/program_run.h"

namespace jobstest {
namespace {

using nlohmann::json;
using testsupport::PackageBuilder;
using namespace std::string_view_literals;

// Text read as one JSON document (RFC 8259), or nothing with what is wrong in *error. The
// parser checks the grammar, the escapes and that every string is well-formed UTF-8; what it
// lets through but a report must never hold is refused here: a byte order mark (the parser
// skips one), a NUL byte (it ends the parser's input, so whatever follows would go unread) and
// a key twice in one object (the parser keeps the last).
std::optional<json> ParseStrict(std::string_view text, std::string* error = nullptr) {
  const auto fail = [error](std::string what) -> std::optional<json> {
    if (error) *error = std::move(what);
    return std::nullopt;
  };
  if (text.starts_with("\xEF\xBB\xBF")) return fail("a byte order mark");
  if (const auto nul = text.find('\0'); nul != std::string_view::npos)
    return fail("a NUL byte at byte " + std::to_string(nul));
  std::vector<std::set<std::string>> openObjects;  // the keys so far of each object still open
  std::string twice;
  const json::parser_callback_t noteKeys = [&](int, json::parse_event_t event, json& parsed) {
    if (event == json::parse_event_t::object_start) {
      openObjects.emplace_back();
    } else if (event == json::parse_event_t::object_end) {
      openObjects.pop_back();
    } else if (event == json::parse_event_t::key && twice.empty() &&
               !openObjects.back().insert(parsed.get<std::string>()).second) {
      twice = parsed.get<std::string>();
    }
    return true;  // keep every value
  };
  try {
    json value = json::parse(text, noteKeys);
    if (!twice.empty()) return fail("key '" + twice + "' twice in one object");
    return value;
  } catch (const json::parse_error& parseError) {
    return fail(parseError.what());
  }
}

// The items of an array; the test fails (the exception is reported) when value is not one.
const json::array_t& Items(const json& value) {
  return value.get_ref<const json::array_t&>();
}

// A plain unsigned number's value (digits only, within 64 bits); 0 for anything else.
std::uint64_t Unsigned(const json& value) {
  return value.is_number_unsigned() ? value.get<std::uint64_t>() : 0;
}

// An integer's text as it was written; empty for a fraction, an exponent or a value that is
// not a number. The parser keeps what has no minus as unsigned, so a signed zero came from "-0".
std::string IntegerText(const json& value) {
  if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
  if (!value.is_number_integer()) return {};
  const auto number = value.get<std::int64_t>();
  return number == 0 ? "-0" : std::to_string(number);
}

std::string Crc32Hex(const Bytes& bytes) {
  const auto crc = crc32(0, bytes.data(), static_cast<uInt>(bytes.size()));
  char text[9];
  std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(crc));
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
  cli::JsonWriter writer;
  writer.BeginObject();
  writer.Key("list");
  writer.BeginArray();
  writer.Number(std::uint64_t{18446744073709551615u});
  writer.Bool(false);
  writer.Null();
  writer.BeginObject();
  writer.EndObject();
  writer.BeginArray();
  writer.EndArray();
  writer.String("x\xFFy");
  writer.EndArray();
  writer.Key("n");
  writer.Number(-3);
  writer.EndObject();
  std::string error;
  const auto value = ParseStrict(writer.Text(), &error);
  ASSERT_TRUE(value) << error << "\n" << writer.Text();
  EXPECT_EQ(Items(value->at("list")).size(), 6u);
  EXPECT_EQ(Unsigned(value->at("list").at(0)), 18446744073709551615u);
  EXPECT_EQ(value->at("list").at(5), "x\xEF\xBF\xBDy");
  EXPECT_EQ(IntegerText(value->at("n")), "-3");
  EXPECT_EQ(writer.Text().back(), '\n');
  // The reader is strict: what the writer must never produce is refused.
  for (const std::string_view bad :
       {// bad grammar
        ""sv, " "sv, "{\"a\":1,}"sv, "[1,]"sv, "[1 2]"sv, "[1]x"sv, "{\"a\"}"sv, "{a:1}"sv, "'a'"sv,
        "// note\n1"sv, "/* note */1"sv, "tru"sv, "nul"sv, "NaN"sv,
        // numbers not in JSON's form
        "01"sv, "-"sv, "1."sv, ".5"sv, "+1"sv, "1e"sv,
        // bad strings: control characters, escapes, surrogates
        "\"a\x01\""sv, "\"a\tb\""sv, "[\"a\0\"]"sv, "\"a"sv, "\"\\q\""sv, "\"\\u12\""sv,
        "\"\\ud800\""sv, "\"\\udc00\""sv, "\"\\ud800\\u0041\""sv,
        // strings that are not well-formed UTF-8: a byte never in it, an overlong form, a
        // surrogate, beyond U+10FFFF, a cut sequence, a lone continuation byte
        "\"\xFF\""sv, "\"\xC0\x80\""sv, "\"\xED\xA0\x80\""sv, "\"\xF4\x90\x80\x80\""sv,
        "\"\xE2\x82\""sv, "\"\x80\""sv,
        // what the parser alone would take: a byte order mark, a NUL byte that ends its input
        // early, a key twice in one object
        "\xEF\xBB\xBF{}"sv, "{}\0x"sv, "{\"a\":1,\"a\":2}"sv, "[{\"b\":{\"a\":1,\"a\":1}}]"sv}) {
    EXPECT_FALSE(ParseStrict(bad)) << bad;
  }
  // ...and no more than that.
  for (const std::string_view good :
       {"\"\\u0000\""sv, "\"\\ud83d\\ude00\""sv, "[{\"a\":1},{\"a\":2}]"sv, "{\"a\":{\"a\":1}}"sv,
        "-0.5e+3"sv, " \t\r\n[]\n"sv}) {
    std::string goodError;
    EXPECT_TRUE(ParseStrict(good, &goodError)) << good << ": " << goodError;
  }
}

class ReportTest : public JobTest {
 protected:
  RunResult Run(const std::vector<std::string>& words) {
    return RunProgramIn(DOTM_REPAIR_BINARY, Root(), words);
  }

  // The report at Root()/name, read strictly; a failed expectation when it is not valid JSON.
  json Report(const std::string& name = "report.json") {
    const std::string text = ReadText(Root() / name);
    std::string error;
    auto value = ParseStrict(text, &error);
    EXPECT_TRUE(value) << error << "\n" << text;
    return value ? std::move(*value) : json{};
  }

  // The report's parts of the one package by name (the last of a name wins).
  static std::map<std::string, json> PartsByName(const json& package) {
    std::map<std::string, json> parts;
    for (const auto& part : Items(package.at("parts")))
      parts[part.at("name").get<std::string>()] = part;
    return parts;
  }

  // The log's red lines about parts, as the report's outcome texts say them.
  static std::vector<std::string> OutcomeTexts(const json& package) {
    std::vector<std::string> texts;
    for (const auto& text : Items(package.at("outcomes")))
      texts.push_back(text.get<std::string>());
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
  const json report = Report();
  EXPECT_EQ(report.at("report"), "dotm-repair");
  EXPECT_EQ(Unsigned(report.at("version")), 1u);
  EXPECT_EQ(IntegerText(report.at("exit_status")), "0");
  EXPECT_EQ(report.at("output_folder"), "out");
  EXPECT_EQ(report.at("interrupted"), false);
  ASSERT_EQ(Items(report.at("packages")).size(), 1u);
  const json& package = report.at("packages").at(0);
  EXPECT_EQ(package.at("input"), "in/Intact.dotm");
  EXPECT_EQ(platform::PathFromUtf8(package.at("output").get<std::string>()),
            fs::path("out") / "ZARVEL_Intact.dotm");
  EXPECT_EQ(package.at("result"), "whole");
  EXPECT_TRUE(Items(package.at("outcomes")).empty());
  EXPECT_EQ(package.at("repair").at("result"), "whole");
  EXPECT_EQ(package.at("repair").at("opened"), true);
  EXPECT_EQ(package.at("save").at("result"), "whole");
  EXPECT_EQ(package.at("save").at("outcome"), "saved");
  EXPECT_EQ(package.at("save").at("media"), "not_asked");
  EXPECT_EQ(package.at("self_check").at("passed"), true);
  EXPECT_TRUE(Items(package.at("self_check").at("failures")).empty());
  EXPECT_EQ(package.at("tree").at("content_types"), "kept");
  EXPECT_TRUE(Items(package.at("tree").at("rewritten")).empty());

  ASSERT_EQ(Items(package.at("parts")).size(), parts.size());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const json& part = package.at("parts").at(i);
    SCOPED_TRACE(parts[i].first);
    EXPECT_EQ(part.at("name"), parts[i].first);
    EXPECT_FALSE(part.contains("name_hex"));
    EXPECT_EQ(part.at("fate"), "whole");
    EXPECT_EQ(part.at("extraction"), "whole");
    EXPECT_EQ(part.at("found"), true);
    EXPECT_EQ(part.at("kept"), true);
    EXPECT_EQ(Unsigned(part.at("header_offset")), builder.HeaderOffsets()[i]);
    EXPECT_EQ(Unsigned(part.at("data_offset")),
              builder.HeaderOffsets()[i] + 30 + parts[i].first.size());
    EXPECT_EQ(Unsigned(part.at("method")), 8u);
    EXPECT_EQ(Unsigned(part.at("compressed_size")),
              testsupport::RawDeflate(parts[i].second).size());
    EXPECT_EQ(Unsigned(part.at("uncompressed_size")), parts[i].second.size());
    EXPECT_EQ(Unsigned(part.at("extracted_size")), parts[i].second.size());
    EXPECT_EQ(part.at("in_central_directory"), true);
    EXPECT_EQ(part.at("crc32").at("expected"), Crc32Hex(parts[i].second));
    EXPECT_EQ(part.at("crc32").at("computed"), Crc32Hex(parts[i].second));
    EXPECT_EQ(part.at("crc32").at("status"), "match");
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
  const json report = Report();
  EXPECT_EQ(IntegerText(report.at("exit_status")), "3");
  const json& package = report.at("packages").at(0);
  EXPECT_EQ(package.at("result"), "incomplete");
  auto parts = PartsByName(package);

  const json& cut = parts.at("word/cut.xml");
  EXPECT_EQ(cut.at("fate"), "partial");
  EXPECT_EQ(cut.at("extraction"), "cut_short");
  EXPECT_EQ(cut.at("crc32").at("expected"), Crc32Hex(cutXml));
  EXPECT_EQ(cut.at("crc32").at("status"), "incomplete");
  EXPECT_FALSE(cut.at("crc32").at("computed").is_null());
  EXPECT_GT(Unsigned(cut.at("extracted_size")), 0u);
  EXPECT_LT(Unsigned(cut.at("extracted_size")), cutXml.size());
  EXPECT_EQ(Unsigned(cut.at("header_offset")), builder.HeaderOffsets()[2]);

  const json& lost = parts.at("word/packed.bin");
  EXPECT_EQ(lost.at("fate"), "lost");
  EXPECT_EQ(lost.at("extraction"), "unsupported_method");
  EXPECT_EQ(Unsigned(lost.at("method")), 12u);
  EXPECT_TRUE(lost.at("extracted_size").is_null());
  EXPECT_TRUE(lost.at("crc32").at("computed").is_null());
  EXPECT_EQ(lost.at("crc32").at("status"), "not_decoded");

  EXPECT_EQ(parts.at("word/document.xml").at("fate"), "whole");
  // No content types and no package relationships were found: the repair wrote them, parts no
  // copy found stands for.
  for (const char* name : {"[Content_Types].xml", "_rels/.rels"}) {
    SCOPED_TRACE(name);
    const json& written = parts.at(name);
    EXPECT_EQ(written.at("fate"), "rebuilt");
    EXPECT_EQ(written.at("found"), false);
    EXPECT_EQ(written.at("kept"), true);
    EXPECT_TRUE(written.at("header_offset").is_null());
    EXPECT_TRUE(written.at("extraction").is_null());
  }
  EXPECT_EQ(package.at("tree").at("content_types"), "stored_copy");
  EXPECT_EQ(Unsigned(package.at("tree").at("relationship_parts_rebuilt")), 1u);

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
  const json package = Report().at("packages").at(0);
  auto parts = PartsByName(package);
  const json& rels = parts.at("word/_rels/document.xml.rels");
  EXPECT_EQ(rels.at("fate"), "rebuilt");
  EXPECT_EQ(rels.at("extraction"), "whole");
  EXPECT_EQ(rels.at("crc32").at("status"), "match");
  EXPECT_EQ(rels.at("found"), true);
  EXPECT_EQ(Unsigned(package.at("tree").at("relationships_removed")), 1u);
  ASSERT_EQ(Items(package.at("tree").at("rewritten")).size(), 1u);
  EXPECT_EQ(package.at("tree").at("rewritten").at(0), "word/_rels/document.xml.rels");
  EXPECT_EQ(OutcomeTexts(package),
            std::vector<std::string>{"part word/_rels/document.xml.rels is rebuilt...."});
  EXPECT_EQ(parts.at("word/styles.xml").at("fate"), "whole");
  EXPECT_EQ(package.at("self_check").at("passed"), true);
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
  const json package = Report().at("packages").at(0);
  std::vector<std::string> standing;
  for (const auto& part : Items(package.at("parts"))) {
    if (part.at("name").get<std::string>() != "word/document.xml") continue;
    if (part.at("kept").get<bool>() || !part.at("found").get<bool>())
      standing.push_back(part.at("fate").get<std::string>());
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
  const json package = Report().at("packages").at(0);
  auto parts = PartsByName(package);
  const std::string shown = "word/media/bad\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD(.png";
  ASSERT_TRUE(parts.contains(shown)) << text;
  EXPECT_EQ(parts[shown].at("name_hex"), "776f72642f6d656469612f626164fffec3282e706e67");
  ASSERT_TRUE(parts.contains(oddName)) << text;
  EXPECT_FALSE(parts[oddName].contains("name_hex"));
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
  const json package = Report().at("packages").at(0);
  auto parts = PartsByName(package);
  ASSERT_TRUE(parts.contains(name));
  EXPECT_EQ(parts[name].at("fate"), "partial");
  ASSERT_EQ(Items(package.at("tree").at("xml_closed")).size(), 1u);
  EXPECT_EQ(package.at("tree").at("xml_closed").at(0), name);
}

TEST_F(ReportTest, MissingPackageSaysWhyInTheReport) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  const auto result = Run({"--report", "report.json", "Good.dotm", "Missing.dotm"});
  EXPECT_EQ(result.status, 1);
  const json report = Report();
  ASSERT_EQ(Items(report.at("packages")).size(), 2u);
  EXPECT_EQ(report.at("packages").at(0).at("result"), "whole");
  const json& missing = report.at("packages").at(1);
  EXPECT_EQ(missing.at("input"), "Missing.dotm");
  EXPECT_EQ(missing.at("result"), "failed");
  EXPECT_TRUE(missing.at("output").is_null());
  EXPECT_EQ(missing.at("repair").at("opened"), false);
  EXPECT_TRUE(Items(missing.at("parts")).empty());
  EXPECT_TRUE(missing.at("tree").is_null());
  EXPECT_TRUE(missing.at("self_check").is_null());
  EXPECT_EQ(missing.at("save").at("attempted"), false);
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
  const auto report = ParseStrict(result.out, &error);
  ASSERT_TRUE(report) << error << "\n" << result.out;
  EXPECT_EQ(report->at("packages").at(0).at("input"), "Good.dotm");
  EXPECT_NE(result.err.find("Good.dotm  Repaired....\n"), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(Root() / "-"));
}

// The user named the file: an older one is replaced, and only by a whole report.
TEST_F(ReportTest, ExistingReportIsReplacedWithNothingLeftBeside) {
  WriteFile("Good.dotm", testsupport::SampleTemplatePackage());
  WriteFile("reports/report.json", "older report");
  const auto result = Run({"--report", "reports/report.json", "Good.dotm"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Report("reports/report.json").at("packages").at(0).at("result"), "whole");
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
