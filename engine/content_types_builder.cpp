#include "engine/content_types_builder.h"

#include <regex>

#include "engine/package_names.h"
#include "engine/package_tree.h"
#include "engine/xml_repair.h"

namespace engine {
namespace {

constexpr std::string_view kWordMl =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.";
constexpr std::string_view kVbaProjectType = "application/vnd.ms-office.vbaProject";
constexpr std::string_view kBinaryType = "application/octet-stream";

std::string WordMl(std::string_view kind) {
  return std::string(kWordMl) + std::string(kind);
}

struct NameRule {
  const char* pattern;  // matched against the lower-case part name
  std::string type;
};

const std::vector<NameRule>& NameRules() {
  static const std::vector<NameRule> rules = {
      {"word/document\\.xml", "application/vnd.ms-word.template.macroEnabledTemplate.main+xml"},
      {"word/styles\\.xml", WordMl("styles+xml")},
      {"word/settings\\.xml", WordMl("settings+xml")},
      {"word/fonttable\\.xml", WordMl("fontTable+xml")},
      {"word/numbering\\.xml", WordMl("numbering+xml")},
      {"word/websettings\\.xml", WordMl("webSettings+xml")},
      {"word/footnotes\\.xml", WordMl("footnotes+xml")},
      {"word/endnotes\\.xml", WordMl("endnotes+xml")},
      {"word/comments\\.xml", WordMl("comments+xml")},
      {"word/header[0-9]*\\.xml", WordMl("header+xml")},
      {"word/footer[0-9]*\\.xml", WordMl("footer+xml")},
      {"word/glossary/document\\.xml", WordMl("document.glossary+xml")},
      {"word/(glossary/)?theme/theme[0-9]*\\.xml",
       "application/vnd.openxmlformats-officedocument.theme+xml"},
      {"word/stylesWithEffects\\.xml", "application/vnd.ms-word.stylesWithEffects+xml"},
      {"word/vbaproject\\.bin", std::string(kVbaProjectType)},
      {"word/vbadata\\.xml", "application/vnd.ms-word.vbaData+xml"},
      {"word/embeddings/oleobject[0-9]*\\.bin",
       "application/vnd.openxmlformats-officedocument.oleObject"},
      {"docprops/core\\.xml", "application/vnd.openxmlformats-package.core-properties+xml"},
      {"docprops/app\\.xml",
       "application/vnd.openxmlformats-officedocument.extended-properties+xml"},
      {"docprops/custom\\.xml",
       "application/vnd.openxmlformats-officedocument.custom-properties+xml"},
      {"customxml/itemprops[0-9]*\\.xml",
       "application/vnd.openxmlformats-officedocument.customXmlProperties+xml"},
  };
  return rules;
}

// The rules' patterns compiled once: compiling a pattern costs far more than matching it, and
// every part of every package is matched against all of them.
const std::vector<std::regex>& NamePatterns() {
  static const std::vector<std::regex> patterns = [] {
    std::vector<std::regex> compiled;
    for (const auto& rule : NameRules())
      compiled.emplace_back(AsciiLower(rule.pattern));
    return compiled;
  }();
  return patterns;
}

// Word parts whose name does not follow the usual pattern are known by their root element.
std::optional<std::string> TypeByRoot(std::string_view partName, std::string_view rootName) {
  if (!partName.starts_with("word/") || PartExtension(partName) != "xml") return std::nullopt;
  if (rootName == "hdr") return WordMl("header+xml");
  if (rootName == "ftr") return WordMl("footer+xml");
  if (rootName == "footnotes") return WordMl("footnotes+xml");
  if (rootName == "endnotes") return WordMl("endnotes+xml");
  if (rootName == "comments") return WordMl("comments+xml");
  return std::nullopt;
}

void AddDefault(ContentTypeMap& map, std::string extension, std::string type) {
  map.defaults.emplace_back(std::move(extension), std::move(type));
}

bool HasOwnOverride(const ContentTypeMap& map, std::string_view partName) {
  const std::string wanted = AsciiLower("/" + std::string(partName));
  for (const auto& entry : map.overrides) {
    if (AsciiLower(entry.first) == wanted) return true;
  }
  return false;
}

// A name with bytes XML cannot hold (control characters, broken UTF-8) would make the whole
// document unreadable; such a part cannot be typed, and the rest must still be.
bool NameFitsXml(const std::string& part) {
  return XmlParses("<n p=\"" + XmlAttributeEscape("/" + part) + "\"/>");
}

int CompleteForPart(ContentTypeMap& map, const std::string& part, std::string_view rootName) {
  int added = 0;
  const std::string extension = PartExtension(part);
  const auto overrideType = OverrideTypeFor(part, rootName);
  // The macro project's extension gets its Default as a word processor writes it; any other
  // binary part is typed by its own Override or the generic Default below.
  const bool isVbaProject = overrideType && *overrideType == kVbaProjectType;
  const auto defaultType = DefaultTypeFor(extension);
  if (defaultType && (extension != "bin" || isVbaProject) && !map.Covers(part)) {
    AddDefault(map, extension, *defaultType);
    ++added;
  }
  if (overrideType && !HasOwnOverride(map, part)) {
    map.overrides.emplace_back("/" + part, *overrideType);
    ++added;
  }
  if (map.Covers(part)) return added;
  if (extension.empty()) {
    map.overrides.emplace_back("/" + part, std::string(kBinaryType));
  } else {
    AddDefault(map, extension, std::string(kBinaryType));
  }
  return added + 1;
}

}  // namespace

std::optional<std::string> ContentTypeMap::TypeOf(std::string_view partName) const {
  const std::string wanted = AsciiLower("/" + std::string(partName));
  for (const auto& [name, type] : overrides) {
    if (AsciiLower(name) == wanted) return type;
  }
  const std::string extension = PartExtension(partName);
  if (extension.empty()) return std::nullopt;
  for (const auto& [key, type] : defaults) {
    if (AsciiLower(key) == extension) return type;
  }
  return std::nullopt;
}

std::optional<ContentTypeMap> ParseContentTypes(std::string_view text) {
  const auto elements = ParseXmlElements(text);
  if (!elements || elements->empty()) return std::nullopt;
  const XmlElement& root = elements->front();
  if (root.LocalName() != "Types") return std::nullopt;
  ContentTypeMap map;
  for (const auto& element : *elements) {
    if (element.depth != 1) continue;
    const auto type = element.Attribute("ContentType");
    if (!type) continue;
    if (element.LocalName() == "Default") {
      if (const auto extension = element.Attribute("Extension")) {
        map.defaults.emplace_back(*extension, *type);
      }
    } else if (element.LocalName() == "Override") {
      if (const auto partName = element.Attribute("PartName")) {
        map.overrides.emplace_back(*partName, *type);
      }
    }
  }
  return map;
}

std::optional<std::string> OverrideTypeFor(std::string_view partName, std::string_view rootName) {
  const std::string lower = AsciiLower(partName);
  const auto& rules = NameRules();
  const auto& patterns = NamePatterns();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (std::regex_match(lower, patterns[i])) return rules[i].type;
  }
  return TypeByRoot(partName, rootName);
}

std::optional<std::string> DefaultTypeFor(std::string_view extension) {
  static const std::vector<std::pair<std::string_view, std::string_view>> kDefaults = {
      {"rels", "application/vnd.openxmlformats-package.relationships+xml"},
      {"xml", "application/xml"},
      {"png", "image/png"},
      {"jpeg", "image/jpeg"},
      {"jpg", "image/jpeg"},
      {"gif", "image/gif"},
      {"bmp", "image/bmp"},
      {"tif", "image/tiff"},
      {"tiff", "image/tiff"},
      {"emf", "image/x-emf"},
      {"wmf", "image/x-wmf"},
      {"svg", "image/svg+xml"},
      {"wdp", "image/vnd.ms-photo"},
      {"bin", kVbaProjectType},
  };
  for (const auto& [key, type] : kDefaults) {
    if (key == extension) return std::string(type);
  }
  return std::nullopt;
}

bool ContentTypesCover(const ContentTypeMap& map, const std::string& partName,
                       std::string_view rootName) {
  if (!map.Covers(partName)) return false;
  // A word processor types the macro project by its extension's Default alone: a part that
  // already has the type it needs is covered, whichever entry gives it.
  const auto wanted = OverrideTypeFor(partName, rootName);
  return !wanted || HasOwnOverride(map, partName) || map.TypeOf(partName) == *wanted;
}

int CompleteContentTypes(ContentTypeMap& map, const std::set<std::string>& parts,
                         const std::function<std::string(const std::string&)>& rootOf) {
  int added = 0;
  for (const auto& part : parts) {
    if (!NameFitsXml(part)) continue;
    const std::string root = rootOf(part);
    if (!ContentTypesCover(map, part, root)) added += CompleteForPart(map, part, root);
  }
  return added;
}

std::string WriteContentTypes(const ContentTypeMap& map) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
  text += "<Types xmlns=\"" + std::string(kContentTypesNamespace) + "\">";
  for (const auto& [extension, type] : map.defaults) {
    text += "<Default Extension=\"" + XmlAttributeEscape(extension) + "\" ContentType=\"" +
            XmlAttributeEscape(type) + "\"/>";
  }
  for (const auto& [partName, type] : map.overrides) {
    text += "<Override PartName=\"" + XmlAttributeEscape(partName) + "\" ContentType=\"" +
            XmlAttributeEscape(type) + "\"/>";
  }
  text += "</Types>";
  return text;
}

}  // namespace engine
