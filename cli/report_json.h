// The run's report as one JSON document (dotm-repair --report): per package what was found,
// what became of every part, what the tree pass mended and what the saved file's self-check
// said. README.md ("Report") documents every field.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/repair_report.h"

namespace cli {

// One listed package: what each job reported for it (nothing from a job that never reached it).
struct PackageFacts {
  std::string input;  // the path as typed
  std::optional<engine::RepairRowReport> repair;
  std::optional<engine::SaveRowReport> save;
};

struct RunFacts {
  std::string outputFolder;  // as typed
  int exitStatus = 0;
  bool interrupted = false;  // Ctrl+C ended the run early
  std::vector<PackageFacts> packages;
};

// The report's format version; raised when a field changes its meaning or goes.
inline constexpr int kReportVersion = 1;

std::string ReportJson(const RunFacts& run);

// A JSON string literal, quotes included, of text that should be UTF-8 but need not be: quotes,
// backslashes and control characters are escaped, and every ill-formed UTF-8 sequence (each
// maximal part of one, as Unicode recommends) becomes \ufffd. The document stays valid JSON
// whatever bytes a damaged name holds.
std::string JsonString(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// A small writer of indented JSON: values in order, commas and indentation its own business.
class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The key of the next value, inside an object.
  void Key(std::string_view key);
  void String(std::string_view text);
  void Number(std::uint64_t value);
  void Number(int value);
  void Bool(bool value);
  void Null();

  const std::string& Text() const { return text_; }

 private:
  void BeforeValue();
  void Close(char bracket);
  void NewLine();

  std::string text_;
  std::vector<bool> hasItems_;  // per open object or array: something written in it yet
  bool afterKey_ = false;
};

}  // namespace cli
