#include "engine/xml_quick_check.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace engine {
namespace {

// Byte classes. Plain text bytes need no further look; the others stop the text run.
enum Class : std::uint8_t { kOther, kPlain, kSpace, kNameStart, kNameRest };

constexpr std::array<std::uint8_t, 256> MakeTable(bool forNames) {
  std::array<std::uint8_t, 256> table{};
  for (int c = 0x20; c < 0x7F; ++c)
    table[c] = kPlain;
  table['\t'] = table['\n'] = table['\r'] = table[' '] = kSpace;
  if (!forNames) {
    table['<'] = table['&'] = table[']'] = kOther;
    return table;
  }
  for (int c = 0; c < 256; ++c)
    table[c] = kOther;
  for (int c = 'a'; c <= 'z'; ++c)
    table[c] = kNameStart;
  for (int c = 'A'; c <= 'Z'; ++c)
    table[c] = kNameStart;
  table['_'] = kNameStart;
  for (int c = '0'; c <= '9'; ++c)
    table[c] = kNameRest;
  table['.'] = table['-'] = table[':'] = kNameRest;
  return table;
}

constexpr auto kText = MakeTable(false);
constexpr auto kName = MakeTable(true);

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsXmlChar(std::uint32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

class Checker {
 public:
  explicit Checker(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

  bool Run() {
    if (!Declaration()) return false;
    if (!Misc()) return false;
    if (!Starts("<") || !Element()) return false;
    return Misc() && p_ == end_;
  }

 private:
  bool Starts(std::string_view what) const {
    return static_cast<std::size_t>(end_ - p_) >= what.size() &&
           std::string_view(p_, what.size()) == what;
  }
  bool Take(std::string_view what) {
    if (!Starts(what)) return false;
    p_ += what.size();
    return true;
  }
  // The hot loops work on a local pointer: a store through a char pointer could change p_ as
  // far as the compiler knows, which would make it reload p_ at every byte.
  bool SkipSpace() {
    const char* p = p_;
    while (p < end_ && IsSpace(*p))
      ++p;
    const bool skipped = p != p_;
    p_ = p;
    return skipped;
  }

  // Past the bytes of class plain or space (and, for names, the name classes) from p_.
  template <std::uint8_t kLowest>
  void SkipClass(const std::array<std::uint8_t, 256>& table) {
    const char* p = p_;
    const char* const end = end_;
    while (p < end && table[static_cast<std::uint8_t>(*p)] >= kLowest)
      ++p;
    p_ = p;
  }

  // Nothing, or exactly <?xml version="1.0" [encoding="UTF-8"] [standalone="yes|no"]?>.
  bool Declaration() {
    if (!Starts("<?")) return true;
    if (!Take("<?xml") || !SkipSpace()) return false;
    if (!Pseudo("version", {"1.0"})) return false;
    bool space = SkipSpace();
    if (space && Starts("encoding")) {
      if (!Pseudo("encoding", {"UTF-8", "utf-8"})) return false;
      space = SkipSpace();
    }
    if (space && Starts("standalone")) {
      if (!Pseudo("standalone", {"yes", "no"})) return false;
      SkipSpace();
    }
    return Take("?>");
  }
  bool Pseudo(std::string_view name, std::initializer_list<std::string_view> values) {
    if (!Take(name)) return false;
    SkipSpace();
    if (!Take("=")) return false;
    SkipSpace();
    if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
    const char quote = *p_++;
    for (const auto value : values) {
      if (Starts(value) && end_ - p_ > static_cast<std::ptrdiff_t>(value.size()) &&
          p_[value.size()] == quote) {
        p_ += value.size() + 1;
        return true;
      }
    }
    return false;
  }

  // White space and comments, before or after the root element.
  bool Misc() {
    for (;;) {
      SkipSpace();
      if (!Starts("<!--")) return true;
      if (!Comment()) return false;
    }
  }

  bool Comment() {
    p_ += 4;
    while (p_ < end_) {
      if (*p_ == '-') {
        if (end_ - p_ >= 2 && p_[1] == '-') {
          if (end_ - p_ < 3 || p_[2] != '>') return false;
          p_ += 3;
          return true;
        }
        ++p_;
      } else if (!Char()) {
        return false;
      }
    }
    return false;
  }

  // One character of any text that is not markup: a plain byte or a valid UTF-8 sequence of an
  // XML character.
  bool Char() {
    const auto c = static_cast<std::uint8_t>(*p_);
    if (c < 0x80) {
      if (kText[c] == kOther && c != '<' && c != '&' && c != ']') return false;
      ++p_;
      return true;
    }
    return Utf8();
  }

  bool Continuation(std::ptrdiff_t i, std::uint8_t low = 0x80, std::uint8_t high = 0xBF) const {
    if (end_ - p_ <= i) return false;
    const auto c = static_cast<std::uint8_t>(p_[i]);
    return c >= low && c <= high;
  }

  bool Utf8() {
    const auto c = static_cast<std::uint8_t>(*p_);
    int length = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = Continuation(1) ? 2 : 0;
    } else if (c == 0xE0) {
      length = Continuation(1, 0xA0) && Continuation(2) ? 3 : 0;
    } else if (c == 0xED) {
      length = Continuation(1, 0x80, 0x9F) && Continuation(2) ? 3 : 0;
    } else if (c == 0xEF) {
      // U+FFFE and U+FFFF are no XML characters.
      const bool ok =
          Continuation(1) && Continuation(2) &&
          !(static_cast<std::uint8_t>(p_[1]) == 0xBF && static_cast<std::uint8_t>(p_[2]) >= 0xBE);
      length = ok ? 3 : 0;
    } else if (c >= 0xE1 && c <= 0xEE) {
      length = Continuation(1) && Continuation(2) ? 3 : 0;
    } else if (c == 0xF0) {
      length = Continuation(1, 0x90) && Continuation(2) && Continuation(3) ? 4 : 0;
    } else if (c >= 0xF1 && c <= 0xF3) {
      length = Continuation(1) && Continuation(2) && Continuation(3) ? 4 : 0;
    } else if (c == 0xF4) {
      length = Continuation(1, 0x80, 0x8F) && Continuation(2) && Continuation(3) ? 4 : 0;
    }
    p_ += length;
    return length > 0;
  }

  bool Name(std::string_view& name) {
    const char* from = p_;
    if (p_ == end_ || kName[static_cast<std::uint8_t>(*p_)] != kNameStart) return false;
    ++p_;
    SkipClass<kNameStart>(kName);
    name = std::string_view(from, static_cast<std::size_t>(p_ - from));
    return true;
  }

  // &lt; &gt; &amp; &apos; &quot; or a character reference to an XML character.
  bool Reference() {
    ++p_;  // '&'
    if (Take("#x")) return Number(16);
    if (Take("#")) return Number(10);
    for (const std::string_view entity : {"lt;", "gt;", "amp;", "apos;", "quot;"}) {
      if (Take(entity)) return true;
    }
    return false;
  }
  bool Number(std::uint32_t base) {
    std::uint32_t value = 0;
    int digits = 0;
    for (; p_ < end_ && *p_ != ';'; ++p_, ++digits) {
      const char c = *p_;
      std::uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (base == 16 && c >= 'a' && c <= 'f') {
        digit = static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (base == 16 && c >= 'A' && c <= 'F') {
        digit = static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return false;
      }
      if (digits >= 7) return false;
      value = value * base + digit;
    }
    if (p_ == end_ || digits == 0 || !IsXmlChar(value)) return false;
    ++p_;  // ';'
    return true;
  }

  bool AttributeValue() {
    if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
    const char quote = *p_++;
    while (p_ < end_) {
      const char* p = p_;
      while (p < end_ && kText[static_cast<std::uint8_t>(*p)] >= kPlain && *p != quote)
        ++p;
      p_ = p;
      if (p_ == end_) break;
      const char c = *p_;
      if (c == quote) {
        ++p_;
        return true;
      }
      if (c == '<') return false;
      if (c == '&') {
        if (!Reference()) return false;
      } else if (c == ']') {
        ++p_;
      } else if (!Char()) {
        return false;
      }
    }
    return false;
  }

  // A start tag's name and attributes, up to '>' (open) or "/>" (empty).
  bool StartTag(std::string_view& name, bool& empty) {
    ++p_;  // '<'
    if (!Name(name)) return false;
    attributes_.clear();
    for (;;) {
      const bool space = SkipSpace();
      if (Take(">")) {
        empty = false;
        return true;
      }
      if (Take("/>")) {
        empty = true;
        return true;
      }
      std::string_view attribute;
      if (!space || !Name(attribute)) return false;
      for (const auto seen : attributes_) {
        if (seen == attribute) return false;
      }
      attributes_.push_back(attribute);
      SkipSpace();
      if (!Take("=")) return false;
      SkipSpace();
      if (!AttributeValue()) return false;
    }
  }

  bool EndTag(std::string_view open) {
    p_ += 2;  // "</"
    std::string_view name;
    if (!Name(name) || name != open) return false;
    SkipSpace();
    return Take(">");
  }

  bool Cdata() {
    p_ += 9;  // "<![CDATA["
    while (p_ < end_) {
      if (Take("]]>")) return true;
      if (*p_ == ']' || *p_ == '<' || *p_ == '&') {
        ++p_;
      } else if (!Char()) {
        return false;
      }
    }
    return false;
  }

  // Character data up to the next markup; "]]>" may not appear in it.
  bool Text() {
    while (p_ < end_) {
      SkipClass<kPlain>(kText);
      if (p_ == end_) break;
      const auto c = static_cast<std::uint8_t>(*p_);
      if (c == '<') return true;
      if (c == '&') {
        if (!Reference()) return false;
      } else if (c == ']') {
        if (Starts("]]>")) return false;
        ++p_;
      } else if (!Char()) {
        return false;
      }
    }
    return true;
  }

  // The root element and everything inside it, with an explicit stack of open names.
  bool Element() {
    std::vector<std::string_view> open;
    std::string_view name;
    bool empty = false;
    if (!StartTag(name, empty)) return false;
    if (empty) return true;
    open.push_back(name);
    while (!open.empty()) {
      if (!Text() || p_ == end_) return false;
      if (Starts("</")) {
        if (!EndTag(open.back())) return false;
        open.pop_back();
      } else if (Starts("<!--")) {
        if (!Comment()) return false;
      } else if (Starts("<![CDATA[")) {
        if (!Cdata()) return false;
      } else if (Starts("<!") || Starts("<?")) {
        return false;
      } else {
        if (!StartTag(name, empty)) return false;
        if (!empty) open.push_back(name);
      }
    }
    return true;
  }

  const char* p_;
  const char* end_;
  std::vector<std::string_view> attributes_;
};

}  // namespace

bool PlainlyWellFormed(std::string_view text) {
  return Checker(text).Run();
}

}  // namespace engine
