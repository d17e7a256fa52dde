// The names and namespaces a word-processing template's package is built on, for every step that
// reads, mends or builds its content types and relationships.
#pragma once

#include <string_view>

namespace engine {

inline constexpr const char* kContentTypesName = "[Content_Types].xml";
inline constexpr const char* kPackageRels = "_rels/.rels";
inline constexpr const char* kDocumentRels = "word/_rels/document.xml.rels";
inline constexpr const char* kMainDocumentName = "word/document.xml";

inline constexpr std::string_view kContentTypesNamespace =
    "http://schemas.openxmlformats.org/package/2006/content-types";
inline constexpr std::string_view kRelationshipsNamespace =
    "http://schemas.openxmlformats.org/package/2006/relationships";

}  // namespace engine
