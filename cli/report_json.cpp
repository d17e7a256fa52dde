#include "cli/report_json.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "cli/cli_options.h"
#include "platform/text.h"

namespace cli {
namespace {

using engine::FoundPart;
using engine::PartFate;
using engine::RowResult;

// The length of the well-formed UTF-8 sequence at text[at], or 0 with *subpart set to the
// length of its longest well-formed beginning (at least 1), which one U+FFFD replaces.
std::size_t Utf8SequenceAt(std::string_view text, std::size_t at, std::size_t* subpart) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  *subpart = 1;
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return 0;
    const unsigned char next = byte(i);
    const bool fits = i == 1 ? (next >= low && next <= high) : (next >= 0x80 && next <= 0xBF);
    if (!fits) return 0;
    *subpart = i + 1;
  }
  return length;
}

void AppendEscaped(std::string& out, unsigned char c) {
  switch (c) {
    case '"':
      out += "\\\"";
      return;
    case '\\':
      out += "\\\\";
      return;
    case '\b':
      out += "\\b";
      return;
    case '\f':
      out += "\\f";
      return;
    case '\n':
      out += "\\n";
      return;
    case '\r':
      out += "\\r";
      return;
    case '\t':
      out += "\\t";
      return;
    default:
      break;
  }
  if (c < 0x20 || c == 0x7F) {
    char code[8];
    std::snprintf(code, sizeof code, "\\u%04x", c);
    out += code;
    return;
  }
  out += static_cast<char>(c);
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string Crc(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
  return text;
}

const char* ResultName(RowResult result) {
  switch (result) {
    case RowResult::kWhole:
      return "whole";
    case RowResult::kIncomplete:
      return "incomplete";
    case RowResult::kFailed:
      return "failed";
  }
  return "failed";
}

const char* FateName(PartFate fate) {
  switch (fate) {
    case PartFate::kWhole:
      return "whole";
    case PartFate::kPartial:
      return "partial";
    case PartFate::kDamaged:
      return "damaged";
    case PartFate::kLost:
      return "lost";
    case PartFate::kRebuilt:
      return "rebuilt";
    case PartFate::kIdentified:
      return "identified";
  }
  return "lost";
}

const char* ExtractionName(engine::PartOutcome outcome) {
  using engine::PartOutcome;
  switch (outcome) {
    case PartOutcome::kWhole:
      return "whole";
    case PartOutcome::kCutShort:
      return "cut_short";
    case PartOutcome::kDamaged:
      return "damaged";
    case PartOutcome::kUnsupportedMethod:
      return "unsupported_method";
    case PartOutcome::kNoData:
      return "no_data";
    case PartOutcome::kWriteFailed:
      return "write_failed";
    case PartOutcome::kNameRefused:
      return "name_refused";
    case PartOutcome::kFolderBlocked:
      return "folder_blocked";
    case PartOutcome::kIdentified:
      return "identified";
  }
  return "no_data";
}

const char* CrcStatusName(engine::CrcCheck check) {
  using engine::CrcCheck;
  switch (check) {
    case CrcCheck::kMatch:
      return "match";
    case CrcCheck::kMismatch:
      return "mismatch";
    case CrcCheck::kNoneStated:
      return "none_stated";
    case CrcCheck::kIncomplete:
      return "incomplete";
    case CrcCheck::kNotDecoded:
      return "not_decoded";
  }
  return "not_decoded";
}

const char* EvidenceName(engine::SizeEvidence evidence) {
  using engine::SizeEvidence;
  switch (evidence) {
    case SizeEvidence::kFollowed:
      return "followed";
    case SizeEvidence::kDescriptor:
      return "descriptor";
    case SizeEvidence::kCrcMatch:
      return "crc_match";
    case SizeEvidence::kStreamEnd:
      return "stream_end";
    case SizeEvidence::kEndOfFile:
      return "end_of_file";
    case SizeEvidence::kEmbedded:
      return "embedded_package_end";
    case SizeEvidence::kUnsized:
      return "unsized";
  }
  return "unsized";
}

const char* ContentTypesName(engine::ContentTypesOutcome outcome) {
  using engine::ContentTypesOutcome;
  switch (outcome) {
    case ContentTypesOutcome::kKept:
      return "kept";
    case ContentTypesOutcome::kCompleted:
      return "completed";
    case ContentTypesOutcome::kStoredCopy:
      return "stored_copy";
    case ContentTypesOutcome::kBuilt:
      return "built";
    case ContentTypesOutcome::kNotWritten:
      return "not_written";
  }
  return "not_written";
}

const char* SaveOutcomeName(engine::SaveOutcome outcome) {
  using engine::SaveOutcome;
  switch (outcome) {
    case SaveOutcome::kSaved:
      return "saved";
    case SaveOutcome::kSavedPartly:
      return "saved_partly";
    case SaveOutcome::kNoFileFolder:
      return "no_file_folder";
    case SaveOutcome::kCannotCreate:
      return "cannot_create";
    case SaveOutcome::kPartUnreadable:
      return "part_unreadable";
    case SaveOutcome::kWriteFailed:
      return "write_failed";
    case SaveOutcome::kTooLarge:
      return "too_large";
    case SaveOutcome::kCannotReplace:
      return "cannot_replace";
  }
  return "write_failed";
}

const char* MediaName(engine::MediaResult media) {
  using engine::MediaResult;
  switch (media) {
    case MediaResult::kNotAsked:
      return "not_asked";
    case MediaResult::kCopied:
      return "copied";
    case MediaResult::kNone:
      return "none";
    case MediaResult::kFailed:
      return "failed";
  }
  return "failed";
}

// Both jobs' results as one, as the exit status counts them: a job that never reached the row
// did not save it.
RowResult PackageResult(const PackageFacts& package) {
  bool incomplete = false;
  for (const auto result : {package.repair ? std::optional(package.repair->result) : std::nullopt,
                            package.save ? std::optional(package.save->result) : std::nullopt}) {
    if (!result || *result == RowResult::kFailed) return RowResult::kFailed;
    if (*result == RowResult::kIncomplete) incomplete = true;
  }
  return incomplete ? RowResult::kIncomplete : RowResult::kWhole;
}

// The saved package's path, when one was saved.
std::optional<std::string> OutputOf(const PackageFacts& package) {
  if (!package.save || !package.save->save || !engine::IsSaved(package.save->save->outcome)) {
    return std::nullopt;
  }
  return package.save->target;
}

void StringField(JsonWriter& json, std::string_view key, std::string_view value) {
  json.Key(key);
  json.String(value);
}

void OptionalStringField(JsonWriter& json, std::string_view key,
                         const std::optional<std::string>& value) {
  json.Key(key);
  if (value) {
    json.String(*value);
  } else {
    json.Null();
  }
}

template <typename Number>
void NumberField(JsonWriter& json, std::string_view key, Number value) {
  json.Key(key);
  json.Number(value);
}

void BoolField(JsonWriter& json, std::string_view key, bool value) {
  json.Key(key);
  json.Bool(value);
}

template <typename Texts>
void StringList(JsonWriter& json, std::string_view key, const Texts& texts) {
  json.Key(key);
  json.BeginArray();
  for (const auto& text : texts)
    json.String(text);
  json.EndArray();
}

// A part's name as stored: its bytes, with '/' between levels as the package has them.
std::string NameBytes(const std::wstring& partPath) {
  std::string bytes;
  bytes.reserve(partPath.size());
  for (const wchar_t c : partPath) {
    // One character per name byte; nothing else can be in a name the scanner read.
    bytes += c == L'\\' ? '/' : static_cast<char>(static_cast<unsigned char>(c & 0xFF));
  }
  return bytes;
}

// A name the tree pass gives (a file's place below the file folder, where each byte of the
// part's name became one character) as the name's own bytes again.
std::string NameBytesOfTreeName(const std::string& treeName) {
  return platform::BytesFromWide(platform::WideFromUtf8(treeName)).value_or(treeName);
}

std::vector<std::string> NameBytesOfTreeNames(const std::set<std::string>& treeNames) {
  std::vector<std::string> names;
  for (const auto& name : treeNames)
    names.push_back(NameBytesOfTreeName(name));
  return names;
}

void NameFields(JsonWriter& json, const std::string& name) {
  StringField(json, "name", name);
  if (!IsValidUtf8(name)) StringField(json, "name_hex", Hex(name));
}

void WriteFoundPart(JsonWriter& json, const FoundPart& part) {
  const engine::PartEntry& entry = part.entry;
  json.BeginObject();
  NameFields(json, NameBytes(entry.partPath));
  StringField(json, "fate", FateName(part.fate));
  StringField(json, "extraction", ExtractionName(part.outcome));
  BoolField(json, "found", true);
  BoolField(json, "kept", part.kept);
  BoolField(json, "folder_entry", part.folderEntry);
  BoolField(json, "identified", entry.identified);
  json.Key("header_offset");
  if (entry.identified) {
    json.Null();  // no header: the data was recognised by its content
  } else {
    json.Number(entry.headerOffset);
  }
  NumberField(json, "data_offset", entry.dataOffset);
  NumberField(json, "method", static_cast<int>(entry.method));
  NumberField(json, "compressed_size", entry.compressedSize);
  NumberField(json, "uncompressed_size", entry.uncompressedSize);
  json.Key("extracted_size");
  if (part.decoded) {
    json.Number(part.decoded->size);
  } else {
    json.Null();
  }
  StringField(json, "size_evidence", EvidenceName(entry.evidence));
  BoolField(json, "in_central_directory", entry.inCentralDirectory);
  json.Key("crc32");
  json.BeginObject();
  OptionalStringField(json, "expected", entry.crc ? std::optional(Crc(*entry.crc)) : std::nullopt);
  OptionalStringField(json, "computed",
                      part.decoded ? std::optional(Crc(part.decoded->crc)) : std::nullopt);
  StringField(json, "status", CrcStatusName(part.crc));
  json.EndObject();
  json.EndObject();
}

// A part the repair wrote, or failed to write, that no copy found stands for: the same fields,
// the evidence ones empty.
void WriteUnfoundPart(JsonWriter& json, const engine::UnfoundPart& part) {
  json.BeginObject();
  NameFields(json, NameBytesOfTreeName(part.name));
  StringField(json, "fate", FateName(part.fate));
  json.Key("extraction");
  json.Null();
  BoolField(json, "found", false);
  BoolField(json, "kept", part.fate != PartFate::kLost);
  BoolField(json, "folder_entry", false);
  BoolField(json, "identified", false);
  for (const char* key : {"header_offset", "data_offset", "method", "compressed_size",
                          "uncompressed_size", "extracted_size", "size_evidence"}) {
    json.Key(key);
    json.Null();
  }
  BoolField(json, "in_central_directory", false);
  json.Key("crc32");
  json.BeginObject();
  for (const char* key : {"expected", "computed"}) {
    json.Key(key);
    json.Null();
  }
  StringField(json, "status", CrcStatusName(engine::CrcCheck::kNotDecoded));
  json.EndObject();
  json.EndObject();
}

void WriteTree(JsonWriter& json, const engine::TreeRepairResult& tree) {
  json.BeginObject();
  StringList(json, "xml_closed", NameBytesOfTreeNames(tree.xmlClosed));
  StringList(json, "xml_unreadable", NameBytesOfTreeNames(tree.xmlUnreadable));
  NumberField(json, "relationships_removed", tree.relationships.relationshipsRemoved);
  NumberField(json, "relationship_parts_rebuilt", tree.relationships.partsRebuilt);
  NumberField(json, "references_removed", tree.relationships.referencesRemoved);
  StringList(json, "relationship_repair_wrote", NameBytesOfTreeNames(tree.relationships.rewritten));
  StringField(json, "content_types", ContentTypesName(tree.contentTypes));
  StringList(json, "rewritten", NameBytesOfTreeNames(tree.Rewritten()));
  json.EndObject();
}

void WriteRepair(JsonWriter& json, const engine::RepairRowReport& repair) {
  json.BeginObject();
  StringField(json, "result", ResultName(repair.result));
  BoolField(json, "opened", repair.opened);
  BoolField(json, "scan_stopped", repair.scanStopped);
  StringList(json, "outcomes", repair.outcomes);
  json.EndObject();
}

void WriteSave(JsonWriter& json, const engine::SaveRowReport& save) {
  json.BeginObject();
  StringField(json, "result", ResultName(save.result));
  BoolField(json, "attempted", save.attempted);
  OptionalStringField(json, "target", save.attempted ? std::optional(save.target) : std::nullopt);
  OptionalStringField(
      json, "outcome",
      save.save ? std::optional(std::string(SaveOutcomeName(save.save->outcome))) : std::nullopt);
  OptionalStringField(json, "reason",
                      save.save && !engine::IsSaved(save.save->outcome)
                          ? std::optional(engine::SaveFailureReason(*save.save))
                          : std::nullopt);
  std::vector<std::string> leftOut;
  if (save.save) {
    for (const auto& name : save.save->leftOut)
      leftOut.push_back(NameBytesOfTreeName(name));
  }
  StringList(json, "left_out", leftOut);
  StringField(json, "media", MediaName(save.media));
  StringList(json, "outcomes", save.outcomes);
  json.EndObject();
}

void WritePackage(JsonWriter& json, const PackageFacts& package) {
  json.BeginObject();
  StringField(json, "input", package.input);
  OptionalStringField(json, "output", OutputOf(package));
  StringField(json, "result", ResultName(PackageResult(package)));
  std::vector<std::string> outcomes;
  if (package.repair) outcomes = package.repair->outcomes;
  if (package.save)
    outcomes.insert(outcomes.end(), package.save->outcomes.begin(), package.save->outcomes.end());
  if (!package.repair) outcomes.emplace_back("not reached by the repair");
  if (!package.save) outcomes.emplace_back("not reached by the save");
  StringList(json, "outcomes", outcomes);

  json.Key("repair");
  package.repair ? WriteRepair(json, *package.repair) : json.Null();
  json.Key("parts");
  json.BeginArray();
  if (package.repair) {
    for (const auto& part : package.repair->parts)
      WriteFoundPart(json, part);
    for (const auto& part : package.repair->unfound)
      WriteUnfoundPart(json, part);
  }
  json.EndArray();
  json.Key("tree");
  package.repair&& package.repair->tree ? WriteTree(json, *package.repair->tree) : json.Null();
  json.Key("save");
  package.save ? WriteSave(json, *package.save) : json.Null();
  json.Key("self_check");
  if (package.save && package.save->selfCheck) {
    json.BeginObject();
    BoolField(json, "passed", package.save->selfCheck->passed);
    StringList(json, "failures", package.save->selfCheck->failures);
    json.EndObject();
  } else {
    json.Null();
  }
  json.EndObject();
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t subpart = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at, &subpart);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  std::size_t subpart = 0;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = Utf8SequenceAt(text, at, &subpart);
    if (length == 0) {
      out += "\\ufffd";
      at += subpart;
    } else if (length == 1) {
      AppendEscaped(out, static_cast<unsigned char>(text[at]));
      ++at;
    } else {
      out.append(text, at, length);
      at += length;
    }
  }
  out += '"';
  return out;
}

void JsonWriter::NewLine() {
  text_ += '\n';
  text_.append(2 * hasItems_.size(), ' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasItems_.empty()) {
    if (hasItems_.back()) text_ += ',';
    hasItems_.back() = true;
    NewLine();
  }
}

void JsonWriter::BeginObject() {
  BeforeValue();
  text_ += '{';
  hasItems_.push_back(false);
}

void JsonWriter::BeginArray() {
  BeforeValue();
  text_ += '[';
  hasItems_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  const bool hadItems = !hasItems_.empty() && hasItems_.back();
  if (!hasItems_.empty()) hasItems_.pop_back();
  if (hadItems) NewLine();
  text_ += bracket;
  if (hasItems_.empty()) text_ += '\n';
}

void JsonWriter::EndObject() {
  Close('}');
}

void JsonWriter::EndArray() {
  Close(']');
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  text_ += JsonString(key);
  text_ += ": ";
  afterKey_ = true;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  text_ += JsonString(text);
}

void JsonWriter::Number(std::uint64_t value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Number(int value) {
  BeforeValue();
  text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += "null";
}

std::string ReportJson(const RunFacts& run) {
  JsonWriter json;
  json.BeginObject();
  StringField(json, "report", "dotm-repair");
  NumberField(json, "version", kReportVersion);
  StringField(json, "program", kVersionText);
  StringField(json, "output_folder", run.outputFolder);
  NumberField(json, "exit_status", run.exitStatus);
  BoolField(json, "interrupted", run.interrupted);
  json.Key("packages");
  json.BeginArray();
  for (const auto& package : run.packages)
    WritePackage(json, package);
  json.EndArray();
  json.EndObject();
  return json.Text();
}

}  // namespace cli
