// What a piece of data is when nothing but its content is left: its header, and with it its name,
// was destroyed. The content tells the kind (the root element of an XML part, the magic bytes of
// an image or a macro project); the package's surviving relationships and the parts already
// present tell the name. A name is given only when exactly one fits.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/relationships_repair.h"

namespace engine {

enum class PartKind {
  kUnknown,
  kContentTypes,
  kRelationships,
  kMainDocument,
  kStyles,
  kSettings,
  kFontTable,
  kNumbering,
  kWebSettings,
  kTheme,
  kFootnotes,
  kEndnotes,
  kComments,
  kHeader,
  kFooter,
  kCoreProperties,
  kAppProperties,
  kCustomProperties,
  kVbaData,
  kVbaProject,  // an OLE compound file: the macro project, or an embedded object
  kImage,
};

struct ContentIdentity {
  PartKind kind = PartKind::kUnknown;
  std::string extension;  // for images: the extension the magic bytes call for, lower case
};

// The kind of the data that begins with head (as much of it as is at hand, ideally all of it).
ContentIdentity IdentifyContent(std::string_view head);

// What the package tells about names: the parts present and the relationships that survived.
struct PackageKnowledge {
  std::set<std::string> present;  // package form, as ListPackageParts gives them
  // Every relationships part at hand (its name, its relationships).
  std::vector<std::pair<std::string, std::vector<Relationship>>> relationships;

  bool IsPresent(std::string_view part) const;
};

// The name the data should go back under; nothing when no name follows, or more than one could.
// content is the whole data (relationships are read from it). Never a name already present.
std::optional<std::string> NameForContent(const ContentIdentity& identity, std::string_view content,
                                          const PackageKnowledge& knowledge);

}  // namespace engine
