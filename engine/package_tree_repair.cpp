#include "engine/package_tree_repair.h"

#include <exception>

#include "engine/package_tree.h"
#include "engine/xml_repair.h"

namespace engine {
namespace {

bool IsXmlByName(std::string_view part) {
  const std::string extension = PartExtension(part);
  return extension == "xml" || extension == "rels" || extension == "vml";
}

}  // namespace

void RepairXmlParts(const std::filesystem::path& fileFolder, const TreeRepairInput& input,
                    TreeRepairResult& result) {
  for (const auto& part : ListPackageParts(fileFolder)) {
    const bool cut = input.knownCut.contains(part);
    const bool byName = IsXmlByName(part);
    if (!byName && !cut) continue;
    // A whole part is as its writer made it; one that begins as an XML document is taken to be
    // one without parsing it through.
    if (!cut && input.knownWhole.contains(part) && !RootElementOfPart(fileFolder, part).empty()) {
      continue;
    }
    const auto text = ReadPart(fileFolder, part);
    if (!text || XmlParses(*text)) continue;
    // A cut part of another kind (a picture, a macro project) is kept as recovered and stays
    // reachable: only one that begins as XML is mended as XML.
    if (!byName && RootElementName(*text).empty()) continue;
    if (const auto repaired = RepairCutXml(*text)) {
      if (WritePart(fileFolder, part, *repaired)) result.xmlClosed.insert(part);
      continue;
    }
    // The part stays as recovered, for whoever can read more of it; the relationships to it are
    // dropped below, as one part that does not parse makes a word processor refuse the whole
    // template.
    result.xmlUnreadable.insert(part);
  }
}

std::set<std::string> TreeRepairResult::Rewritten() const {
  std::set<std::string> parts = xmlClosed;
  parts.insert(relationships.rewritten.begin(), relationships.rewritten.end());
  if (contentTypes != ContentTypesOutcome::kKept &&
      contentTypes != ContentTypesOutcome::kNotWritten) {
    parts.insert("[Content_Types].xml");
  }
  return parts;
}

TreeRepairResult RepairTree(const std::filesystem::path& fileFolder, const TreeRepairInput& input) {
  TreeRepairResult result;
  RepairXmlParts(fileFolder, input, result);
  result.relationships = RepairRelationships(fileFolder, result.xmlUnreadable, input.knownCut);
  result.contentTypes = EnsureContentTypes(fileFolder);
  return result;
}

int RepairPackageTree(std::filesystem::path& fileFolder, const TreeRepairInput& input,
                      TreeRepairResult* result) {
  try {
    TreeRepairResult done = RepairTree(fileFolder, input);
    const bool written = done.contentTypes != ContentTypesOutcome::kNotWritten;
    if (result) *result = std::move(done);
    if (written) return 1;
  } catch (const std::exception&) {
    // Treated as a folder that could not receive its content types.
  }
  fileFolder.clear();
  return 0;
}

}  // namespace engine
