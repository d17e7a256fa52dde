// The content types a package's parts need: reading a [Content_Types].xml, telling which parts
// it leaves without a type, and writing one that covers them.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace engine {

struct ContentTypeMap {
  std::vector<std::pair<std::string, std::string>> defaults;   // extension, content type
  std::vector<std::pair<std::string, std::string>> overrides;  // "/part name", content type

  // The content type the map gives partName (package form, no leading '/').
  std::optional<std::string> TypeOf(std::string_view partName) const;
  bool Covers(std::string_view partName) const { return TypeOf(partName).has_value(); }
};

// The Defaults and Overrides of a content-types document; nothing when it does not parse or its
// root is not a Types element.
std::optional<ContentTypeMap> ParseContentTypes(std::string_view text);

// The Override type that a part's name says, with its root element (local name, empty when not
// known) deciding for XML parts the name leaves open. Nothing when neither tells.
std::optional<std::string> OverrideTypeFor(std::string_view partName, std::string_view rootName);

// The Default type of an extension (lower case) we know; nothing otherwise.
std::optional<std::string> DefaultTypeFor(std::string_view extension);

// True when map types partName as a package needs: it has a type, and an Override of its own
// where the part's name or root element calls for one.
bool ContentTypesCover(const ContentTypeMap& map, const std::string& partName,
                       std::string_view rootName);

// Adds to map what each part it does not cover needs: a Default for a known extension (images,
// rels, xml, the macro project's bin), an Override where the name or root element tells the
// type, a generic binary Default for anything else. rootOf gives a part's root element name.
// Returns the number of entries added.
int CompleteContentTypes(ContentTypeMap& map, const std::set<std::string>& parts,
                         const std::function<std::string(const std::string&)>& rootOf);

// The document for map: declaration, then Defaults and Overrides in one Types element.
std::string WriteContentTypes(const ContentTypeMap& map);

}  // namespace engine
