#include "testkit/json_parse.h"

#include <charconv>
#include <system_error>

namespace testsupport {
namespace {

const JsonValue& NullValue() {
  static const JsonValue value;
  return value;
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<JsonValue> Document() {
    JsonValue value;
    SkipSpace();
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (at_ != text_.size()) return Fail("text after the value");
    return value;
  }

  std::string Error() const { return error_ + " at byte " + std::to_string(errorAt_); }

 private:
  static constexpr int kDeepest = 64;

  std::nullopt_t Fail(std::string what) {
    if (error_.empty()) {
      error_ = std::move(what);
      errorAt_ = at_;
    }
    return std::nullopt;
  }
  bool Failed(std::string what) {
    Fail(std::move(what));
    return false;
  }

  void SkipSpace() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool Literal(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return Failed("bad literal");
    at_ += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > kDeepest) return Failed("nested too deep");
    if (at_ >= text_.size()) return Failed("value expected");
    switch (text_[at_]) {
      case '{':
        value.kind = JsonValue::Kind::kObject;
        return Object(value, depth);
      case '[':
        value.kind = JsonValue::Kind::kArray;
        return Array(value, depth);
      case '"':
        value.kind = JsonValue::Kind::kString;
        return String(value.string);
      case 't':
        value.kind = JsonValue::Kind::kBool;
        value.boolean = true;
        return Literal("true");
      case 'f':
        value.kind = JsonValue::Kind::kBool;
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        value.kind = JsonValue::Kind::kNumber;
        return Number(value.number);
    }
  }

  bool Object(JsonValue& value, int depth) {
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == '}') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"') return Failed("key expected");
      if (!String(key)) return false;
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != ':') return Failed("':' expected");
      ++at_;
      SkipSpace();
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      for (const auto& [existing, unused] : value.members) {
        if (existing == key) return Failed("key '" + key + "' twice");
      }
      value.members.push_back({std::move(key), std::move(member)});
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == '}') {
        ++at_;
        return true;
      }
      return Failed("',' or '}' expected");
    }
  }

  bool Array(JsonValue& value, int depth) {
    ++at_;
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == ']') {
      ++at_;
      return true;
    }
    for (;;) {
      SkipSpace();
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
      SkipSpace();
      if (at_ < text_.size() && text_[at_] == ',') {
        ++at_;
        continue;
      }
      if (at_ < text_.size() && text_[at_] == ']') {
        ++at_;
        return true;
      }
      return Failed("',' or ']' expected");
    }
  }

  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  bool Number(std::string& number) {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (at_ >= text_.size() || !IsDigit(text_[at_])) return Failed("digit expected");
    if (text_[at_] == '0') {
      ++at_;
    } else {
      while (at_ < text_.size() && IsDigit(text_[at_]))
        ++at_;
    }
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      if (at_ >= text_.size() || !IsDigit(text_[at_])) return Failed("digit expected");
      while (at_ < text_.size() && IsDigit(text_[at_]))
        ++at_;
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (at_ >= text_.size() || !IsDigit(text_[at_])) return Failed("digit expected");
      while (at_ < text_.size() && IsDigit(text_[at_]))
        ++at_;
    }
    number = std::string(text_.substr(start, at_ - start));
    return true;
  }

  static void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Hex4(std::uint32_t& code) {
    if (at_ + 4 > text_.size()) return Failed("four hex digits expected");
    code = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      code <<= 4;
      if (c >= '0' && c <= '9') {
        code |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        code |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        code |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return Failed("hex digit expected");
      }
    }
    return true;
  }

  bool Escape(std::string& out) {
    if (at_ >= text_.size()) return Failed("escape expected");
    const char c = text_[at_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += c;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        return Failed("unknown escape");
    }
    std::uint32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Failed("lone low surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      std::uint32_t low = 0;
      if (text_.substr(at_, 2) != "\\u") return Failed("lone high surrogate");
      at_ += 2;
      if (!Hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Failed("lone high surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  // One well-formed UTF-8 sequence of two or more bytes, copied.
  bool Utf8Sequence(std::string& out) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text_[at_ + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      low = lead == 0xE0 ? 0xA0 : 0x80;
      high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      low = lead == 0xF0 ? 0x90 : 0x80;
      high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
      return Failed("not UTF-8");
    }
    if (at_ + length > text_.size()) return Failed("not UTF-8");
    for (std::size_t i = 1; i < length; ++i) {
      const unsigned char next = byte(i);
      if (i == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) {
        return Failed("not UTF-8");
      }
    }
    out.append(text_.substr(at_, length));
    at_ += length;
    return true;
  }

  bool String(std::string& out) {
    ++at_;
    for (;;) {
      if (at_ >= text_.size()) return Failed("unterminated string");
      const auto c = static_cast<unsigned char>(text_[at_]);
      if (c == '"') {
        ++at_;
        return true;
      }
      if (c < 0x20) return Failed("control character in a string");
      if (c == '\\') {
        ++at_;
        if (!Escape(out)) return false;
      } else if (c >= 0x80) {
        if (!Utf8Sequence(out)) return false;
      } else {
        out += static_cast<char>(c);
        ++at_;
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string error_;
  std::size_t errorAt_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return value;
  }
  return NullValue();
}

const JsonValue& JsonValue::operator[](std::size_t index) const {
  return index < items.size() ? items[index] : NullValue();
}

bool JsonValue::Has(std::string_view key) const {
  for (const auto& [name, value] : members) {
    if (name == key) return true;
  }
  return false;
}

std::uint64_t JsonValue::Unsigned() const {
  std::uint64_t value = 0;
  if (kind != Kind::kNumber) return 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  return error == std::errc() && end == number.data() + number.size() ? value : 0;
}

std::optional<JsonValue> ParseJson(std::string_view text, std::string* error) {
  Reader reader(text);
  auto value = reader.Document();
  if (!value && error) *error = reader.Error();
  return value;
}

}  // namespace testsupport
