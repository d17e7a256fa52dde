#include "engine/relationships_repair.h"

#include <map>

#include "engine/package_names.h"
#include "engine/package_tree.h"
#include "engine/part_identity.h"
#include "engine/xml_repair.h"

namespace engine {
namespace {

constexpr std::string_view kOfficeRelationships =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string OfficeType(std::string_view kind) {
  return std::string(kOfficeRelationships) + std::string(kind);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent escapes of a target URI, decoded; a broken escape stays as written.
std::string DecodeTarget(std::string_view target) {
  std::string decoded;
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (target[i] == '%' && i + 2 < target.size()) {
      const int high = HexValue(target[i + 1]);
      const int low = HexValue(target[i + 2]);
      if (high >= 0 && low >= 0) {
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    decoded += target[i];
  }
  return decoded;
}

// The source part's folder of a relationships part: "word/_rels/document.xml.rels" -> "word".
std::string SourceFolder(std::string_view relsName) {
  const auto rels = relsName.rfind("_rels/");
  if (rels == std::string_view::npos || rels == 0) return {};
  return std::string(relsName.substr(0, rels - 1));
}

bool IsRelationshipsPart(std::string_view part) {
  return PartExtension(part) == "rels" &&
         (part.starts_with("_rels/") || part.find("/_rels/") != std::string_view::npos);
}

// Part names compare without regard to ASCII case, as a package's names do.
std::map<std::string, std::string> LowerIndex(const std::set<std::string>& parts) {
  std::map<std::string, std::string> index;
  for (const auto& part : parts)
    index.emplace(AsciiLower(part), part);
  return index;
}

bool Present(const std::map<std::string, std::string>& index, std::string_view part) {
  return index.contains(AsciiLower(part));
}

struct NameRule {
  std::string_view prefix;  // below word/
  std::string_view suffix;
  std::string type;
};

const std::vector<NameRule>& DocumentRules() {
  static const std::vector<NameRule> rules = {
      {"styles.xml", "", OfficeType("styles")},
      {"settings.xml", "", OfficeType("settings")},
      {"fontTable.xml", "", OfficeType("fontTable")},
      {"webSettings.xml", "", OfficeType("webSettings")},
      {"numbering.xml", "", OfficeType("numbering")},
      {"footnotes.xml", "", OfficeType("footnotes")},
      {"endnotes.xml", "", OfficeType("endnotes")},
      {"comments.xml", "", OfficeType("comments")},
      {"theme/theme", ".xml", OfficeType("theme")},
      {"header", ".xml", OfficeType("header")},
      {"footer", ".xml", OfficeType("footer")},
      {"media/", "", OfficeType("image")},
      {"glossary/document.xml", "", OfficeType("glossaryDocument")},
      {"vbaProject.bin", "", "http://schemas.microsoft.com/office/2006/relationships/vbaProject"},
  };
  return rules;
}

// The type a part directly below word/ has as the main document's target, by its name.
std::optional<std::string> DocumentTypeOf(std::string_view below) {
  const std::string lower = AsciiLower(below);
  for (const auto& rule : DocumentRules()) {
    const std::string prefix = AsciiLower(rule.prefix);
    if (rule.suffix.empty()) {
      // A folder prefix takes anything in that folder; a name must match whole.
      if (prefix.ends_with('/') ? (lower.starts_with(prefix) && lower.size() > prefix.size() &&
                                   lower.find('/', prefix.size()) == std::string::npos)
                                : lower == prefix) {
        return rule.type;
      }
      continue;
    }
    if (lower.starts_with(prefix) && lower.ends_with(rule.suffix) &&
        lower.size() >= prefix.size() + rule.suffix.size()) {
      const std::string middle =
          lower.substr(prefix.size(), lower.size() - prefix.size() - rule.suffix.size());
      if (middle.find_first_not_of("0123456789") == std::string::npos) return rule.type;
    }
  }
  return std::nullopt;
}

std::vector<Relationship> Numbered(std::vector<std::pair<std::string, std::string>> found,
                                   std::string_view idPrefix) {
  std::vector<Relationship> relationships;
  int number = 1;
  for (auto& [type, target] : found) {
    relationships.push_back({.id = std::string(idPrefix) + std::to_string(number++),
                             .type = std::move(type),
                             .target = std::move(target),
                             .external = false});
  }
  return relationships;
}

// Keeps the relationships whose internal target is present; returns how many were dropped.
int DropUnresolved(std::string_view relsName, std::vector<Relationship>& relationships,
                   const std::map<std::string, std::string>& index) {
  const auto before = relationships.size();
  std::erase_if(relationships, [&](const Relationship& relationship) {
    if (relationship.external) return false;
    const auto part = ResolveTarget(relsName, relationship.target);
    return !part || !Present(index, *part);
  });
  return static_cast<int>(before - relationships.size());
}

// A relationships part whose root is not in the relationships namespace (one changed byte of
// the URI will do it) is not taken for relationships by a word processor, which then refuses
// the whole package; its relationships are written again under the right namespace.
bool InRelationshipsNamespace(std::string_view text) {
  return IdentifyContent(text).kind == PartKind::kRelationships;
}

// Without a relationship to the main document a word processor has nothing to open, although
// the main document is there: the package's relationships were cut before it, or it was
// damaged. One is added, under an identifier none of the others has. (Only to relationships
// that are not whole: whole ones are as their writer meant them.)
bool AddMainDocument(std::vector<Relationship>& relationships,
                     const std::map<std::string, std::string>& index) {
  if (!Present(index, kMainDocumentName)) return false;
  std::set<std::string> ids;
  for (const auto& relationship : relationships) {
    if (!relationship.external && relationship.type.ends_with("/officeDocument")) return false;
    ids.insert(relationship.id);
  }
  int number = 1;
  while (ids.contains("rIdRebuilt" + std::to_string(number)))
    ++number;
  relationships.push_back({.id = "rIdRebuilt" + std::to_string(number),
                           .type = OfficeType("officeDocument"),
                           .target = index.at(AsciiLower(kMainDocumentName)),
                           .external = false});
  return true;
}

bool IsStoryPart(std::string_view part) {
  if (part == kMainDocumentName) return true;
  const std::string lower = AsciiLower(part);
  return lower.starts_with("word/") && lower.find('/', 5) == std::string::npos &&
         (lower.starts_with("word/header") || lower.starts_with("word/footer")) &&
         lower.ends_with(".xml");
}

std::string RelsNameFor(std::string_view part) {
  const auto slash = part.rfind('/');
  if (slash == std::string_view::npos) return "_rels/" + std::string(part) + ".rels";
  return std::string(part.substr(0, slash)) + "/_rels/" + std::string(part.substr(slash + 1)) +
         ".rels";
}

// A header or footer reference whose relationship is gone makes the word processor refuse the
// whole document; the reference goes, the section keeps the rest of its properties.
int RemoveDanglingReferences(const std::filesystem::path& fileFolder, const std::string& part,
                             const std::set<std::string>& ids) {
  const auto text = ReadPart(fileFolder, part);
  if (!text) return 0;
  int removed = 0;
  const auto result = RemoveXmlElements(*text, [&](const XmlElement& element) {
    const auto local = element.LocalName();
    if (local != "headerReference" && local != "footerReference") return false;
    for (const auto& [name, value] : element.attributes) {
      const std::string_view key(name);
      if ((key == "r:id" || key.ends_with(":id")) && key != "w:id" && !ids.contains(value)) {
        ++removed;
        return true;
      }
    }
    return false;
  });
  if (!result || removed == 0) return 0;
  return WritePart(fileFolder, part, *result) ? removed : 0;
}

}  // namespace

std::optional<std::vector<Relationship>> ParseRelationships(std::string_view text) {
  const auto elements = ParseXmlElements(text);
  if (!elements || elements->empty() || elements->front().LocalName() != "Relationships") {
    return std::nullopt;
  }
  std::vector<Relationship> relationships;
  for (const auto& element : *elements) {
    if (element.depth != 1 || element.LocalName() != "Relationship") continue;
    Relationship relationship;
    relationship.id = element.Attribute("Id").value_or("");
    relationship.type = element.Attribute("Type").value_or("");
    relationship.target = element.Attribute("Target").value_or("");
    relationship.external = element.Attribute("TargetMode").value_or("") == "External";
    relationships.push_back(std::move(relationship));
  }
  return relationships;
}

std::string WriteRelationships(const std::vector<Relationship>& relationships) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  text += "<Relationships xmlns=\"" + std::string(kRelationshipsNamespace) + "\">";
  for (const auto& relationship : relationships) {
    text += "<Relationship Id=\"" + XmlAttributeEscape(relationship.id) + "\" Type=\"" +
            XmlAttributeEscape(relationship.type) + "\" Target=\"" +
            XmlAttributeEscape(relationship.target) + "\"";
    if (relationship.external) text += " TargetMode=\"External\"";
    text += "/>";
  }
  text += "</Relationships>";
  return text;
}

std::optional<std::string> ResolveTarget(std::string_view relsName, std::string_view target) {
  std::string decoded = DecodeTarget(target);
  const auto fragment = decoded.find_first_of("#?");
  if (fragment != std::string::npos) decoded.resize(fragment);
  std::string path =
      decoded.starts_with('/') ? decoded.substr(1) : SourceFolder(relsName) + "/" + decoded;
  std::vector<std::string> components;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    auto end = path.find('/', begin);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(begin, end - begin);
    if (component == "..") {
      if (components.empty()) return std::nullopt;
      components.pop_back();
    } else if (!component.empty() && component != ".") {
      components.push_back(component);
    }
    begin = end + 1;
  }
  if (components.empty()) return std::nullopt;
  std::string part;
  for (const auto& component : components)
    part += (part.empty() ? "" : "/") + component;
  return part;
}

std::vector<Relationship> PackageRelationshipsFor(const std::set<std::string>& parts) {
  const auto index = LowerIndex(parts);
  std::vector<std::pair<std::string, std::string>> found;
  if (Present(index, kMainDocumentName)) {
    found.emplace_back(OfficeType("officeDocument"), index.at(AsciiLower(kMainDocumentName)));
  }
  const std::pair<const char*, std::string> properties[] = {
      {"docProps/core.xml",
       "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties"},
      {"docProps/app.xml", OfficeType("extended-properties")},
      {"docProps/custom.xml", OfficeType("custom-properties")},
  };
  for (const auto& [name, type] : properties) {
    if (Present(index, name)) found.emplace_back(type, index.at(AsciiLower(name)));
  }
  for (const auto& part : parts) {
    if (AsciiLower(part).starts_with("docprops/thumbnail.")) {
      found.emplace_back(
          "http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail", part);
    }
  }
  return Numbered(std::move(found), "rId");
}

std::vector<Relationship> DocumentRelationshipsFor(const std::set<std::string>& parts) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const auto& part : parts) {
    if (part.size() <= 5 || AsciiLower(part.substr(0, 5)) != "word/") continue;
    const std::string below = part.substr(5);
    if (const auto type = DocumentTypeOf(below)) found.emplace_back(*type, below);
  }
  for (const auto& part : parts) {
    const std::string lower = AsciiLower(part);
    if (lower.starts_with("customxml/item") && lower.find('/', 10) == std::string::npos &&
        !lower.starts_with("customxml/itemprops") && lower.ends_with(".xml")) {
      found.emplace_back(OfficeType("customXml"), "../" + part);
    }
  }
  // Rebuilt identifiers never meet the document's own, which point at relationships whose
  // identifiers were lost with the part.
  return Numbered(std::move(found), "rIdRebuilt");
}

RelationshipsRepairResult RepairRelationships(const std::filesystem::path& fileFolder,
                                              const std::set<std::string>& unusable,
                                              const std::set<std::string>& notWhole) {
  RelationshipsRepairResult result;
  auto parts = ListPackageParts(fileFolder);
  for (const auto& part : unusable)
    parts.erase(part);
  const auto rebuild = [&](const char* relsName, std::vector<Relationship> relationships) {
    if (relationships.empty()) return;  // nothing present that it could name
    if (WritePart(fileFolder, relsName, WriteRelationships(relationships))) {
      ++result.partsRebuilt;
      result.rewritten.insert(relsName);
      parts.insert(relsName);
    }
  };
  const auto readable = [&](const char* relsName) {
    const auto text = ReadPart(fileFolder, relsName);
    return text && ParseRelationships(*text).has_value();
  };
  if (!readable(kPackageRels)) rebuild(kPackageRels, PackageRelationshipsFor(parts));
  if (parts.contains(kMainDocumentName) && !readable(kDocumentRels)) {
    rebuild(kDocumentRels, DocumentRelationshipsFor(parts));
  }

  const auto index = LowerIndex(parts);
  std::map<std::string, std::set<std::string>> idsOf;  // relationships part -> its identifiers
  for (const auto& part : parts) {
    if (!IsRelationshipsPart(part)) continue;
    const auto text = ReadPart(fileFolder, part);
    auto relationships = text ? ParseRelationships(*text) : std::nullopt;
    if (!relationships) continue;
    const int dropped = DropUnresolved(part, *relationships, index);
    const bool mainAdded =
        part == kPackageRels && notWhole.contains(part) && AddMainDocument(*relationships, index);
    const bool renamespaced = !InRelationshipsNamespace(*text);
    if ((dropped > 0 || mainAdded || renamespaced) &&
        WritePart(fileFolder, part, WriteRelationships(*relationships))) {
      result.relationshipsRemoved += dropped;
      result.rewritten.insert(part);
    }
    auto& ids = idsOf[part];
    for (const auto& relationship : *relationships)
      ids.insert(relationship.id);
  }
  for (const auto& part : parts) {
    if (!IsStoryPart(part)) continue;
    const auto rels = idsOf.find(RelsNameFor(part));
    static const std::set<std::string> kNone;
    const int removed =
        RemoveDanglingReferences(fileFolder, part, rels == idsOf.end() ? kNone : rels->second);
    result.referencesRemoved += removed;
    if (removed > 0) result.rewritten.insert(part);
  }
  return result;
}

}  // namespace engine
