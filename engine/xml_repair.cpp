#include "engine/xml_repair.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace engine {
namespace {

struct ParserDeleter {
  void operator()(XML_ParserStruct* parser) const { XML_ParserFree(parser); }
};
using ParserPtr = std::unique_ptr<XML_ParserStruct, ParserDeleter>;

ParserPtr MakeParser() {
  return ParserPtr(XML_ParserCreate(nullptr));
}

// Parses the whole text in one go; expat calls the handlers set on parser on the way.
bool ParseAll(XML_Parser parser, std::string_view text) {
  if (text.size() > static_cast<std::size_t>(INT_MAX)) return false;
  return XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) == XML_STATUS_OK;
}

struct CollectState {
  std::vector<XmlElement> elements;
  std::size_t depth = 0;
};

void XMLCALL CollectStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& state = *static_cast<CollectState*>(data);
  XmlElement element{.name = name, .attributes = {}, .depth = state.depth++};
  for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
    element.attributes.emplace_back(attributes[i], attributes[i + 1]);
  }
  state.elements.push_back(std::move(element));
}

void XMLCALL CollectEnd(void* data, const XML_Char*) {
  --static_cast<CollectState*>(data)->depth;
}

// Follows the parse and remembers the last place where the text could be cut cleanly, with the
// elements open at that place.
struct CutState {
  XML_Parser parser = nullptr;
  std::vector<std::string> open;
  std::vector<std::string> openAtCut;
  std::size_t cut = 0;
  bool rootStarted = false;
  bool inCdata = false;

  void MarkCut() {
    if (inCdata) return;  // a cut inside a CDATA section would leave it unterminated
    const auto end = static_cast<std::size_t>(XML_GetCurrentByteIndex(parser)) +
                     static_cast<std::size_t>(XML_GetCurrentByteCount(parser));
    if (end < cut) return;
    cut = end;
    openAtCut = open;
  }
};

void XMLCALL CutStart(void* data, const XML_Char* name, const XML_Char**) {
  auto& state = *static_cast<CutState*>(data);
  state.open.emplace_back(name);
  state.rootStarted = true;
  state.MarkCut();
}

void XMLCALL CutEnd(void* data, const XML_Char*) {
  auto& state = *static_cast<CutState*>(data);
  if (!state.open.empty()) state.open.pop_back();
  state.MarkCut();
}

void XMLCALL CutText(void* data, const XML_Char*, int) {
  auto& state = *static_cast<CutState*>(data);
  if (!state.open.empty()) state.MarkCut();
}

void XMLCALL CutCdataStart(void* data) {
  static_cast<CutState*>(data)->inCdata = true;
}

void XMLCALL CutCdataEnd(void* data) {
  auto& state = *static_cast<CutState*>(data);
  state.inCdata = false;
  state.MarkCut();
}

struct RootState {
  XML_Parser parser = nullptr;
  std::string name;
};

void XMLCALL RootStart(void* data, const XML_Char* name, const XML_Char**) {
  auto& state = *static_cast<RootState*>(data);
  state.name = name;
  XML_StopParser(state.parser, XML_FALSE);
}

// Finds the byte ranges of the elements to remove, outermost only.
struct RemoveState {
  XML_Parser parser = nullptr;
  const std::function<bool(const XmlElement&)>* remove = nullptr;
  std::size_t depth = 0;
  std::optional<std::size_t> removingDepth;
  std::size_t rangeStart = 0;
  std::size_t startTagEnd = 0;
  std::vector<std::pair<std::size_t, std::size_t>> ranges;

  std::size_t EventStart() const {
    return static_cast<std::size_t>(XML_GetCurrentByteIndex(parser));
  }
  std::size_t EventEnd() const {
    return EventStart() + static_cast<std::size_t>(XML_GetCurrentByteCount(parser));
  }
};

void XMLCALL RemoveStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& state = *static_cast<RemoveState*>(data);
  const std::size_t depth = state.depth++;
  if (state.removingDepth) return;
  XmlElement element{.name = name, .attributes = {}, .depth = depth};
  for (std::size_t i = 0; attributes[i] != nullptr; i += 2) {
    element.attributes.emplace_back(attributes[i], attributes[i + 1]);
  }
  if (depth == 0 || !(*state.remove)(element)) return;  // the root always stays
  state.removingDepth = depth;
  state.rangeStart = state.EventStart();
  state.startTagEnd = state.EventEnd();
}

void XMLCALL RemoveEnd(void* data, const XML_Char*) {
  auto& state = *static_cast<RemoveState*>(data);
  const std::size_t depth = --state.depth;
  if (!state.removingDepth || *state.removingDepth != depth) return;
  // An empty-element tag reports its end with no bytes of its own.
  const std::size_t end = std::max(state.EventEnd(), state.startTagEnd);
  state.ranges.emplace_back(state.rangeStart, end);
  state.removingDepth.reset();
}

}  // namespace

std::optional<std::string> RemoveXmlElements(std::string_view text,
                                             const std::function<bool(const XmlElement&)>& remove) {
  const auto parser = MakeParser();
  if (!parser) return std::nullopt;
  RemoveState state{.parser = parser.get(), .remove = &remove};
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), RemoveStart, RemoveEnd);
  if (!ParseAll(parser.get(), text)) return std::nullopt;
  std::string result;
  std::size_t from = 0;
  for (const auto& [begin, end] : state.ranges) {
    if (begin < from || end > text.size()) return std::nullopt;
    result.append(text.substr(from, begin - from));
    from = end;
  }
  result.append(text.substr(from));
  return result;
}

std::string RootElementName(std::string_view text) {
  const auto parser = MakeParser();
  if (!parser) return {};
  RootState state{.parser = parser.get(), .name = {}};
  XML_SetUserData(parser.get(), &state);
  XML_SetStartElementHandler(parser.get(), RootStart);
  ParseAll(parser.get(), text);
  const auto colon = state.name.find(':');
  return colon == std::string::npos ? state.name : state.name.substr(colon + 1);
}

std::optional<std::string> XmlElement::Attribute(std::string_view attributeName) const {
  for (const auto& [key, value] : attributes) {
    if (key == attributeName) return value;
  }
  return std::nullopt;
}

std::string_view XmlElement::LocalName() const {
  const std::string_view view(name);
  const auto colon = view.find(':');
  return colon == std::string_view::npos ? view : view.substr(colon + 1);
}

bool XmlParses(std::string_view text) {
  const auto parser = MakeParser();
  return parser && ParseAll(parser.get(), text);
}

void XmlPieceCheck::ParserDeleter::operator()(XML_ParserStruct* parser) const {
  XML_ParserFree(parser);
}

XmlPieceCheck::XmlPieceCheck() : parser_(XML_ParserCreate(nullptr)) {
  failed_ = parser_ == nullptr;
}

XmlPieceCheck::~XmlPieceCheck() = default;

void XmlPieceCheck::Feed(std::string_view piece) {
  while (!failed_ && !piece.empty()) {
    const std::size_t count = std::min<std::size_t>(piece.size(), INT_MAX);
    failed_ =
        XML_Parse(parser_.get(), piece.data(), static_cast<int>(count), XML_FALSE) != XML_STATUS_OK;
    piece.remove_prefix(count);
  }
}

bool XmlPieceCheck::Finish() {
  if (!failed_) failed_ = XML_Parse(parser_.get(), "", 0, XML_TRUE) != XML_STATUS_OK;
  return !failed_;
}

std::optional<std::vector<XmlElement>> ParseXmlElements(std::string_view text) {
  const auto parser = MakeParser();
  if (!parser) return std::nullopt;
  CollectState state;
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), CollectStart, CollectEnd);
  if (!ParseAll(parser.get(), text)) return std::nullopt;
  return std::move(state.elements);
}

std::optional<std::string> RepairCutXml(std::string_view text) {
  const auto parser = MakeParser();
  if (!parser) return std::nullopt;
  CutState state;
  state.parser = parser.get();
  XML_SetUserData(parser.get(), &state);
  XML_SetElementHandler(parser.get(), CutStart, CutEnd);
  XML_SetCharacterDataHandler(parser.get(), CutText);
  XML_SetCdataSectionHandler(parser.get(), CutCdataStart, CutCdataEnd);
  // The parse that finds the cut is the whole check as well: a document that parses through
  // needs no second parse to be known whole.
  if (ParseAll(parser.get(), text)) return std::string(text);
  if (!state.rootStarted || state.cut > text.size()) return std::nullopt;
  std::string repaired(text.substr(0, state.cut));
  for (auto it = state.openAtCut.rbegin(); it != state.openAtCut.rend(); ++it) {
    repaired += "</" + *it + ">";
  }
  if (!XmlParses(repaired)) return std::nullopt;
  return repaired;
}

std::string XmlAttributeEscape(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace engine
