// The repairs made to an unpacked package tree after extraction and before saving, so that a
// word processor opens the saved template: cut XML closed, relationships mended, content types
// completed.
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "engine/content_types.h"
#include "engine/relationships_repair.h"

namespace engine {

struct TreeRepairInput {
  // Parts that extraction knows were cut short or damaged (package form). Every XML part is
  // checked whatever this says; a part named here is treated as XML even when its extension
  // does not say so, as long as what survived of it begins as XML.
  std::set<std::string> knownCut;
  // Parts whose bytes match their CRC-32: they are as their writer made them, so they are not
  // parsed here (a mended copy would no longer be the writer's, and parsing every whole part
  // would cost more than the rest of the repair). The self-check after saving reads them all.
  std::set<std::string> knownWhole;
};

struct TreeRepairResult {
  std::set<std::string> xmlClosed;      // cut or broken XML parts cut back and closed
  std::set<std::string> xmlUnreadable;  // XML parts that could not be made to parse: kept as
                                        // they are, no relationship leads to them
  RelationshipsRepairResult relationships;
  ContentTypesOutcome contentTypes = ContentTypesOutcome::kNotWritten;

  // Every part the pass wrote (closed, rewritten or built), in package form.
  std::set<std::string> Rewritten() const;
};

// Closes every XML part of the tree that does not parse, other than those known whole; what
// cannot be mended stays as it is.
void RepairXmlParts(const std::filesystem::path& fileFolder, const TreeRepairInput& input,
                    TreeRepairResult& result);

// The whole pass over one file folder.
TreeRepairResult RepairTree(const std::filesystem::path& fileFolder,
                            const TreeRepairInput& input = {});

// RepairTree for the extraction step, in the manner of RestoreContentTypes: returns 1 when the
// folder ends up with usable content types, 0 otherwise, and then empties fileFolder. result,
// when given, receives what the pass did, also when it failed.
int RepairPackageTree(std::filesystem::path& fileFolder, const TreeRepairInput& input = {},
                      TreeRepairResult* result = nullptr);

}  // namespace engine
