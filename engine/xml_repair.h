// Reading package XML through expat, and mending a part whose text was cut short or broken so
// that it parses again.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct XML_ParserStruct;

namespace engine {

struct XmlElement {
  std::string name;  // qualified name as written, prefix included
  std::vector<std::pair<std::string, std::string>> attributes;
  std::size_t depth = 0;  // 0 for the root element

  // The attribute's value, or nothing when the element has no such attribute.
  std::optional<std::string> Attribute(std::string_view attributeName) const;
  // The name without its prefix.
  std::string_view LocalName() const;
};

// True when text is one well-formed XML document.
bool XmlParses(std::string_view text);

// XmlParses for a document that arrives in pieces, so that it never needs to be whole in
// memory: the verdict is the same however the text is cut.
class XmlPieceCheck {
 public:
  XmlPieceCheck();
  ~XmlPieceCheck();
  XmlPieceCheck(const XmlPieceCheck&) = delete;
  XmlPieceCheck& operator=(const XmlPieceCheck&) = delete;

  // Parses the next piece; once a piece failed, the rest is not looked at.
  void Feed(std::string_view piece);
  // Ends the document: true when all that was fed is one well-formed XML document.
  bool Finish();

 private:
  struct ParserDeleter {
    void operator()(XML_ParserStruct* parser) const;
  };
  std::unique_ptr<XML_ParserStruct, ParserDeleter> parser_;
  bool failed_ = false;
};

// Every element of a well-formed document in document order; nothing when it does not parse.
std::optional<std::vector<XmlElement>> ParseXmlElements(std::string_view text);

// The local name of the root element (prefix dropped), read as far as its start tag; empty when
// the text does not begin a document with a root element.
std::string RootElementName(std::string_view text);

// The document cut at the end of its last complete piece of markup before the damage, with the
// elements still open there closed in order. Nothing when not even the root element's start
// survived. A document that already parses comes back unchanged.
std::optional<std::string> RepairCutXml(std::string_view text);

// The document without the elements (each with everything inside it) for which remove says
// true; the rest stays byte for byte. Nothing when the document does not parse.
std::optional<std::string> RemoveXmlElements(std::string_view text,
                                             const std::function<bool(const XmlElement&)>& remove);

// Text made safe as a double-quoted attribute value.
std::string XmlAttributeEscape(std::string_view value);

}  // namespace engine
