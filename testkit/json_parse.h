// A strict reader of JSON documents (RFC 8259) for the tests: the whole text must be one value,
// strings well-formed UTF-8 with valid escapes, numbers in JSON's own form. Written apart from
// the program's writer, so that a test reading a report checks the writer rather than itself.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct JsonMember;

struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::string number;  // the number's text, as written
  std::string string;  // decoded, UTF-8
  std::vector<JsonValue> items;
  std::vector<JsonMember> members;  // in the order written

  bool IsNull() const { return kind == Kind::kNull; }
  // The member of that key; a null value when there is none (a test then fails on its kind).
  const JsonValue& operator[](std::string_view key) const;
  const JsonValue& operator[](std::size_t index) const;
  bool Has(std::string_view key) const;
  std::uint64_t Unsigned() const;  // a number's value; 0 when not a plain unsigned number
};

// One member of an object: its key and value (named as a pair's are).
struct JsonMember {
  std::string first;
  JsonValue second;
};

// The document's value, or nothing with what is wrong and where in *error.
std::optional<JsonValue> ParseJson(std::string_view text, std::string* error = nullptr);

}  // namespace testsupport
