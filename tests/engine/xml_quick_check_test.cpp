// The quick XML check may only say "well-formed" where expat agrees; it must say so for the
// plain XML real packages hold, or it would save nothing.
#include "engine/xml_quick_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "engine/xml_repair.h"
#include "testkit/package_builder.h"
#include "testkit/zip_parse.h"

namespace {

namespace fs = std::filesystem;

// expat's own verdict: ParseXmlElements reads the whole text with it.
bool ExpatAccepts(std::string_view text) {
  return engine::ParseXmlElements(text).has_value();
}

const std::vector<std::string>& Documents() {
  static const std::vector<std::string> documents = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document "
      "xmlns:w=\"urn:w\"><w:body><w:p w:rsidR=\"00A1\"><w:r><w:t xml:space='preserve'>Caf\xC3\xA9 "
      "&amp; \xE2\x80\x9Cquotes\xE2\x80\x9D &#x1F600; &#169; \xF0\x9F\x98\x80</w:t></w:r></w:p>"
      "<!-- a comment -->"
      "<w:p><![CDATA[ <raw> & ]] ]]></w:p><w:sectPr/></w:body></w:document>",
      "<a/>",
      "<?xml version='1.0'?><!-- lead --><root a=\"1\" b='&lt;&gt;&quot;&apos;'>text "
      "&gt; ]> </root >\n<!---->\n",
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
      "Extension=\"xml\" ContentType=\"application/xml\"/></Types>",
  };
  return documents;
}

TEST(PlainlyWellFormed, AcceptsPlainDocuments) {
  for (const auto& document : Documents()) {
    EXPECT_TRUE(engine::PlainlyWellFormed(document)) << document;
    EXPECT_TRUE(ExpatAccepts(document)) << document;
  }
}

TEST(PlainlyWellFormed, LeavesEveryFlawToTheFullParser) {
  const char* const flawed[] = {
      "",
      "<a>",
      "<a></b>",
      "<a/><b/>",
      "text<a/>",
      "<a b='1' b='2'/>",
      "<a b='1'c='2'/>",
      "<a b=1/>",
      "<a b='<'/>",
      "<a>&foo;</a>",
      "<a>&#0;</a>",
      "<a>&#xFFFE;</a>",
      "<a>&#12345678;</a>",
      "<a>]]></a>",
      "<a>\x01</a>",
      "<a>\xC0\x80</a>",
      "<a>\xED\xA0\x80</a>",
      "<a>\xEF\xBF\xBF</a>",
      "<a>\xF4\x90\x80\x80</a>",
      "<a>\xC3</a>",
      "<a><!-- x -- y --></a>",
      "<a><![CDATA[ x </a>",
      "<!DOCTYPE a><a/>",
      "<?pi x?><a/>",
      "<a><?pi?></a>",
      "<?xml version=\"1.0\" encoding=\"Latin-9\"?><a/>",
      " <?xml version=\"1.0\"?><a/>",
      "<1a/>",
      "<\xC3\xA9/>",
      "\xEF\xBB\xBF<a/>",
  };
  for (const std::string_view text : flawed) {
    EXPECT_FALSE(engine::PlainlyWellFormed(text)) << text;
  }
  EXPECT_FALSE(engine::PlainlyWellFormed(std::string_view("<a/>\0", 5)));
}

// Random damage of every kind to the documents above: whatever the quick check accepts, expat
// accepts too.
TEST(PlainlyWellFormed, NeverAcceptsWhatExpatRefuses) {
  const std::string alphabet("<>&;#x\"'/!?-[]:=a0 \t\x01\x7F\x80\xBF\xC3\xE2\xED\xEF\xF0\xF4\xFF",
                             33);
  std::mt19937 random(12345);
  int accepted = 0;
  int refused = 0;
  for (const auto& document : Documents()) {
    for (int round = 0; round < 20000; ++round) {
      std::string text = document;
      const int changes = 1 + static_cast<int>(random() % 3);
      for (int i = 0; i < changes && !text.empty(); ++i) {
        const std::size_t at = random() % text.size();
        const char c = alphabet[random() % alphabet.size()];
        switch (random() % 4) {
          case 0:
            text[at] = c;
            break;
          case 1:
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c);
            break;
          case 2:
            text.erase(at, 1 + random() % 3);
            break;
          default:
            text.resize(at);
        }
      }
      if (!engine::PlainlyWellFormed(text)) continue;
      ++accepted;
      if (!ExpatAccepts(text)) {
        ++refused;
        ADD_FAILURE() << "accepted, but expat refuses: " << text;
        if (refused > 5) return;
      }
    }
  }
  // The damage must leave some documents well-formed, or the test proves nothing.
  EXPECT_GT(accepted, 1000);
}

// Every XML part of the real packages is plain XML, as word processors write it.
TEST(PlainlyWellFormed, AcceptsTheXmlPartsOfRealPackages) {
  int parts = 0;
  for (const char* sample : {"report.dotm", "letter.dotm", "memo.dotm"}) {
    const auto bytes = testsupport::ReadFileBytes(fs::path(TEST_DATA_DIR) / sample);
    std::string error;
    const auto archive = zip_test::ParseArchive(bytes, &error);
    ASSERT_TRUE(archive.has_value()) << error;
    for (const auto& entry : archive->entries) {
      const auto dot = entry.name.rfind('.');
      const std::string extension = dot == std::string::npos ? "" : entry.name.substr(dot);
      if (extension != ".xml" && extension != ".rels") continue;
      EXPECT_TRUE(engine::PlainlyWellFormed(entry.content)) << sample << " " << entry.name;
      ++parts;
    }
  }
  EXPECT_GT(parts, 10);
}

}  // namespace
