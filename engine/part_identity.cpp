#include "engine/part_identity.h"

#include <expat.h>

#include <array>
#include <memory>

#include "engine/package_names.h"
#include "engine/package_tree.h"

namespace engine {
namespace {

constexpr std::string_view kWordNamespace =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kDrawingNamespace =
    "http://schemas.openxmlformats.org/drawingml/2006/main";
constexpr std::string_view kCoreNamespace =
    "http://schemas.openxmlformats.org/package/2006/metadata/core-properties";
constexpr std::string_view kAppNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/extended-properties";
constexpr std::string_view kCustomNamespace =
    "http://schemas.openxmlformats.org/officeDocument/2006/custom-properties";
constexpr std::string_view kVbaDataNamespace =
    "http://schemas.microsoft.com/office/word/2006/wordml";

// The root element's namespace and local name, read as far as its start tag.
struct RootName {
  std::string ns;
  std::string local;
};

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};

void XMLCALL OnRootStart(void* data, const XML_Char* name, const XML_Char**) {
  auto& parser = *static_cast<std::pair<XML_Parser, RootName*>*>(data);
  const std::string_view full(name);
  const auto space = full.find(' ');
  if (space == std::string_view::npos) {
    parser.second->local = std::string(full);
  } else {
    parser.second->ns = std::string(full.substr(0, space));
    parser.second->local = std::string(full.substr(space + 1));
  }
  XML_StopParser(parser.first, XML_FALSE);
}

std::optional<RootName> ReadRootName(std::string_view head) {
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreateNS(nullptr, ' '));
  if (!parser) return std::nullopt;
  RootName root;
  std::pair<XML_Parser, RootName*> data{parser.get(), &root};
  XML_SetUserData(parser.get(), &data);
  XML_SetStartElementHandler(parser.get(), OnRootStart);
  // The head may be cut anywhere: only the start tag has to be whole.
  XML_Parse(parser.get(), head.data(), static_cast<int>(head.size()), XML_FALSE);
  if (root.local.empty()) return std::nullopt;
  return root;
}

PartKind KindOfRoot(const RootName& root) {
  struct Rule {
    std::string_view ns;
    std::string_view local;
    PartKind kind;
  };
  static constexpr std::array<Rule, 18> kRules{{
      {kContentTypesNamespace, "Types", PartKind::kContentTypes},
      {kRelationshipsNamespace, "Relationships", PartKind::kRelationships},
      {kWordNamespace, "document", PartKind::kMainDocument},
      {kWordNamespace, "styles", PartKind::kStyles},
      {kWordNamespace, "settings", PartKind::kSettings},
      {kWordNamespace, "fonts", PartKind::kFontTable},
      {kWordNamespace, "numbering", PartKind::kNumbering},
      {kWordNamespace, "webSettings", PartKind::kWebSettings},
      {kWordNamespace, "footnotes", PartKind::kFootnotes},
      {kWordNamespace, "endnotes", PartKind::kEndnotes},
      {kWordNamespace, "comments", PartKind::kComments},
      {kWordNamespace, "hdr", PartKind::kHeader},
      {kWordNamespace, "ftr", PartKind::kFooter},
      {kDrawingNamespace, "theme", PartKind::kTheme},
      {kCoreNamespace, "coreProperties", PartKind::kCoreProperties},
      {kAppNamespace, "Properties", PartKind::kAppProperties},
      {kCustomNamespace, "Properties", PartKind::kCustomProperties},
      {kVbaDataNamespace, "vbaSuppData", PartKind::kVbaData},
  }};
  for (const auto& rule : kRules) {
    if (rule.ns == root.ns && rule.local == root.local) return rule.kind;
  }
  return PartKind::kUnknown;
}

bool StartsWith(std::string_view head, std::string_view magic, std::size_t at = 0) {
  return head.size() >= at + magic.size() && head.substr(at, magic.size()) == magic;
}

std::optional<ContentIdentity> IdentifyBinary(std::string_view head) {
  using namespace std::string_view_literals;
  struct Magic {
    std::string_view bytes;
    std::size_t at;
    PartKind kind;
    std::string_view extension;
  };
  static constexpr std::array<Magic, 9> kMagic{{
      {"\x89PNG\r\n\x1a\n"sv, 0, PartKind::kImage, "png"},
      {"\xFF\xD8\xFF"sv, 0, PartKind::kImage, "jpeg"},
      {"GIF87a"sv, 0, PartKind::kImage, "gif"},
      {"GIF89a"sv, 0, PartKind::kImage, "gif"},
      {" EMF"sv, 40, PartKind::kImage, "emf"},
      {"\xD7\xCD\xC6\x9A"sv, 0, PartKind::kImage, "wmf"},
      {"II*\0"sv, 0, PartKind::kImage, "tiff"},
      {"MM\0*"sv, 0, PartKind::kImage, "tiff"},
      {"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, 0, PartKind::kVbaProject, "bin"},
  }};
  for (const auto& magic : kMagic) {
    if (StartsWith(head, magic.bytes, magic.at)) {
      return ContentIdentity{magic.kind, std::string(magic.extension)};
    }
  }
  if (StartsWith(head, "BM") && head.size() >= 14) return ContentIdentity{PartKind::kImage, "bmp"};
  return std::nullopt;
}

// The relationship types (their last segment) that lead to a part of each kind, and the name a
// word processor gives it when no relationship says otherwise (empty: none is usual enough).
struct KindNaming {
  PartKind kind;
  std::array<std::string_view, 2> types;
  std::string_view usualName;
};

constexpr std::array<KindNaming, 18> kNaming{{
    {PartKind::kMainDocument, {"officeDocument", ""}, kMainDocumentName},
    {PartKind::kStyles, {"styles", ""}, "word/styles.xml"},
    {PartKind::kSettings, {"settings", ""}, "word/settings.xml"},
    {PartKind::kFontTable, {"fontTable", ""}, "word/fontTable.xml"},
    {PartKind::kNumbering, {"numbering", ""}, "word/numbering.xml"},
    {PartKind::kWebSettings, {"webSettings", ""}, "word/webSettings.xml"},
    {PartKind::kTheme, {"theme", ""}, "word/theme/theme1.xml"},
    {PartKind::kFootnotes, {"footnotes", ""}, "word/footnotes.xml"},
    {PartKind::kEndnotes, {"endnotes", ""}, "word/endnotes.xml"},
    {PartKind::kComments, {"comments", ""}, "word/comments.xml"},
    {PartKind::kHeader, {"header", ""}, ""},
    {PartKind::kFooter, {"footer", ""}, ""},
    {PartKind::kCoreProperties, {"core-properties", ""}, "docProps/core.xml"},
    {PartKind::kAppProperties, {"extended-properties", ""}, "docProps/app.xml"},
    {PartKind::kCustomProperties, {"custom-properties", ""}, "docProps/custom.xml"},
    {PartKind::kVbaData, {"wordVbaData", ""}, "word/vbaData.xml"},
    {PartKind::kVbaProject, {"vbaProject", "oleObject"}, "word/vbaProject.bin"},
    {PartKind::kImage, {"image", "thumbnail"}, ""},
}};

std::string_view LastSegment(std::string_view type) {
  const auto slash = type.rfind('/');
  return slash == std::string_view::npos ? type : type.substr(slash + 1);
}

const std::vector<Relationship>* RelationshipsOf(const PackageKnowledge& knowledge,
                                                 std::string_view relsName) {
  for (const auto& [name, relationships] : knowledge.relationships) {
    if (AsciiLower(name) == AsciiLower(relsName)) return &relationships;
  }
  return nullptr;
}

// The main document's name: what the package relationships say, else the usual one.
std::string MainDocumentName(const PackageKnowledge& knowledge) {
  if (const auto* relationships = RelationshipsOf(knowledge, kPackageRels)) {
    for (const auto& relationship : *relationships) {
      if (relationship.external || LastSegment(relationship.type) != "officeDocument") continue;
      if (const auto part = ResolveTarget(kPackageRels, relationship.target)) return *part;
    }
  }
  return kMainDocumentName;
}

std::string RelsNameOf(std::string_view part) {
  const auto slash = part.rfind('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
  return std::string(part.substr(0, slash)) + "/_rels/" + std::string(part.substr(slash + 1)) +
         ".rels";
}

std::optional<std::string> Unless(const PackageKnowledge& knowledge, std::string name) {
  if (name.empty() || knowledge.IsPresent(name)) return std::nullopt;
  return name;
}

// A relationships part's own name follows from what it points at: the package's top parts, or
// the parts only the main document (or its macro project) has.
std::optional<std::string> NameForRelationships(std::string_view content,
                                                const PackageKnowledge& knowledge) {
  const auto relationships = ParseRelationships(content);
  if (!relationships || relationships->empty()) return std::nullopt;
  static constexpr std::array<std::string_view, 4> kTopTypes{"officeDocument", "core-properties",
                                                             "extended-properties", "thumbnail"};
  static constexpr std::array<std::string_view, 9> kDocumentTypes{
      "styles",    "settings", "fontTable", "webSettings", "numbering",
      "footnotes", "endnotes", "theme",     "vbaProject"};
  bool top = false;
  bool document = false;
  bool vba = false;
  for (const auto& relationship : *relationships) {
    const auto type = LastSegment(relationship.type);
    for (const auto kind : kTopTypes)
      top = top || type == kind;
    for (const auto kind : kDocumentTypes)
      document = document || type == kind;
    vba = vba || type == "wordVbaData";
  }
  if (top + document + vba != 1) return std::nullopt;  // none, or contradicting each other
  if (top) return Unless(knowledge, kPackageRels);
  const std::string main = MainDocumentName(knowledge);
  if (document) return Unless(knowledge, RelsNameOf(main));
  const auto slash = main.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : main.substr(0, slash + 1);
  return Unless(knowledge, RelsNameOf(folder + "vbaProject.bin"));
}

}  // namespace

bool PackageKnowledge::IsPresent(std::string_view part) const {
  const std::string lower = AsciiLower(part);
  for (const auto& name : present) {
    if (AsciiLower(name) == lower) return true;
  }
  return false;
}

ContentIdentity IdentifyContent(std::string_view head) {
  if (const auto binary = IdentifyBinary(head)) return *binary;
  const auto root = ReadRootName(head);
  if (!root) return {};
  return ContentIdentity{KindOfRoot(*root), {}};
}

std::optional<std::string> NameForContent(const ContentIdentity& identity, std::string_view content,
                                          const PackageKnowledge& knowledge) {
  switch (identity.kind) {
    case PartKind::kUnknown:
      return std::nullopt;
    case PartKind::kContentTypes:
      return Unless(knowledge, "[Content_Types].xml");
    case PartKind::kRelationships:
      return NameForRelationships(content, knowledge);
    default:
      break;
  }
  const KindNaming* naming = nullptr;
  for (const auto& candidate : kNaming) {
    if (candidate.kind == identity.kind) naming = &candidate;
  }
  if (!naming) return std::nullopt;
  // The parts the surviving relationships lead to, of this kind, that are not there.
  std::set<std::string> missing;
  bool typeMentioned = false;
  for (const auto& [relsName, relationships] : knowledge.relationships) {
    for (const auto& relationship : relationships) {
      const auto type = LastSegment(relationship.type);
      if (relationship.external || type.empty() ||
          (type != naming->types[0] && type != naming->types[1])) {
        continue;
      }
      const auto part = ResolveTarget(relsName, relationship.target);
      if (!part) continue;
      if (!identity.extension.empty() && PartExtension(*part) != identity.extension &&
          !(identity.extension == "jpeg" && PartExtension(*part) == "jpg") &&
          !(identity.extension == "tiff" && PartExtension(*part) == "tif")) {
        continue;
      }
      typeMentioned = true;
      if (!knowledge.IsPresent(*part)) missing.insert(*part);
    }
  }
  if (missing.size() == 1) return *missing.begin();
  if (!missing.empty() || typeMentioned) return std::nullopt;
  return Unless(knowledge, std::string(naming->usualName));
}

}  // namespace engine
