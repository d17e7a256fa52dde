// Relationships that a word processor can follow: no relationship to a part that was not
// recovered, the package's and the main document's relationship parts rebuilt when they were
// lost, and no header or footer reference to a relationship that is gone.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;
  bool external = false;
};

// The relationships of a .rels document; nothing when it does not parse or is not one.
std::optional<std::vector<Relationship>> ParseRelationships(std::string_view text);
std::string WriteRelationships(const std::vector<Relationship>& relationships);

// The part an internal target names, seen from the relationships part relsName (package form);
// nothing when it leaves the package.
std::optional<std::string> ResolveTarget(std::string_view relsName, std::string_view target);

// The relationships a lost _rels/.rels and word/_rels/document.xml.rels held, as far as the
// parts present tell them.
std::vector<Relationship> PackageRelationshipsFor(const std::set<std::string>& parts);
std::vector<Relationship> DocumentRelationshipsFor(const std::set<std::string>& parts);

struct RelationshipsRepairResult {
  int relationshipsRemoved = 0;     // relationships to parts not recovered
  int partsRebuilt = 0;             // relationship parts written anew
  int referencesRemoved = 0;        // header and footer references to relationships that are gone
  std::set<std::string> rewritten;  // every part written: relationship parts and stories
};

// unusable: parts that are present but must not be reached (XML that does not parse).
// notWhole: parts extraction found cut short or damaged; the package's relationships among them
// get one to the main document present when they lost theirs.
RelationshipsRepairResult RepairRelationships(const std::filesystem::path& fileFolder,
                                              const std::set<std::string>& unusable = {},
                                              const std::set<std::string>& notWhole = {});

}  // namespace engine
