#include "testkit/package_builder.h"

#include <zlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

namespace {

void Put64(Bytes& out, std::uint64_t value) {
  Put32(out, static_cast<std::uint32_t>(value));
  Put32(out, static_cast<std::uint32_t>(value >> 32));
}

void Append(Bytes& out, const Bytes& more) {
  out.insert(out.end(), more.begin(), more.end());
}

std::uint32_t Crc(const Bytes& data) {
  return static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
}

}  // namespace

Bytes ToBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes InflatedPrefix(const Bytes& raw) {
  z_stream stream{};
  if (inflateInit2(&stream, -15) != Z_OK) throw std::runtime_error("inflateInit2");
  Bytes input = raw;
  Bytes out;
  std::uint8_t buffer[65536];
  stream.next_in = input.data();
  stream.avail_in = static_cast<uInt>(input.size());
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
  }
  inflateEnd(&stream);
  return out;
}

Bytes RawDeflate(const Bytes& data, int level) {
  z_stream stream{};
  if (deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 16);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate");
  return out;
}

Bytes NoiseBytes(std::size_t size, std::uint32_t seed) {
  Bytes out(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (auto& b : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<std::uint8_t>(state);
  }
  return out;
}

Bytes XmlLikeBytes(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"paragraph", "run",   "text",    "style",
                                       "bold",      "table", "cell",    "numbering",
                                       "section",   "font",  "Heading1"};
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document>";
  std::uint32_t state = seed + 7;
  // Whole paragraphs while they fit, then spaces and the closing tag: the text is well-formed
  // whenever size leaves room for the declaration and the root element.
  const std::string closing = "</w:document>";
  for (;;) {
    state = state * 1103515245u + 12345u;
    const char* word = kWords[(state >> 16) % std::size(kWords)];
    std::string paragraph = "<w:p><w:r w:rsid=\"00";
    paragraph += std::to_string((state >> 8) % 9973);
    paragraph += "\"><w:t>";
    paragraph += word;
    paragraph += " ";
    paragraph += std::to_string(state % 1000);
    paragraph += "</w:t></w:r></w:p>";
    if (text.size() + paragraph.size() + closing.size() > size) break;
    text += paragraph;
  }
  if (text.size() + closing.size() <= size) {
    text.append(size - text.size() - closing.size(), ' ');
    text += closing;
  }
  text.resize(size);
  return ToBytes(text);
}

Bytes Zip64Extra(std::uint64_t uncompressedSize, std::uint64_t compressedSize) {
  Bytes extra;
  Put16(extra, 0x0001);
  Put16(extra, 16);
  Put64(extra, uncompressedSize);
  Put64(extra, compressedSize);
  return extra;
}

Bytes ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

PackageBuilder& PackageBuilder::Add(EntrySpec entry) {
  entries_.push_back(std::move(entry));
  return *this;
}

PackageBuilder& PackageBuilder::AddStored(std::string name, std::string_view content) {
  return Add({.name = std::move(name), .content = ToBytes(content), .method = 0});
}

PackageBuilder& PackageBuilder::AddDeflated(std::string name, std::string_view content) {
  return Add({.name = std::move(name), .content = ToBytes(content), .method = 8});
}

PackageBuilder& PackageBuilder::AddFolder(std::string name) {
  return Add({.name = std::move(name), .content = {}, .method = 0});
}

PackageBuilder& PackageBuilder::Prefix(Bytes junk) {
  prefix_ = std::move(junk);
  return *this;
}

Bytes PackageBuilder::Build(bool withCentralDirectory) const {
  Bytes out = prefix_;
  Bytes central;
  offsets_.clear();
  for (const auto& entry : entries_) {
    const Bytes data = entry.data          ? *entry.data
                       : entry.method == 8 ? RawDeflate(entry.content)
                                           : entry.content;
    const std::uint32_t crc = Crc(entry.content);
    const auto compressed = static_cast<std::uint32_t>(data.size());
    const auto uncompressed = static_cast<std::uint32_t>(entry.content.size());
    const bool descriptor = entry.descriptor != Descriptor::kNone;
    const std::uint16_t flags = descriptor ? 0x0008 : 0;
    const std::size_t offset = out.size();
    offsets_.push_back(offset);

    Put32(out, 0x04034B50);
    Put16(out, 20);
    Put16(out, flags);
    Put16(out, entry.method);
    Put16(out, 0x6000);  // 12:00
    Put16(out, 0x5A21);  // 2025-01-01
    Put32(out, descriptor ? 0 : crc);
    Put32(out, entry.compressedSizeField.value_or(descriptor ? 0 : compressed));
    Put32(out, entry.uncompressedSizeField.value_or(descriptor ? 0 : uncompressed));
    Put16(out, static_cast<std::uint32_t>(entry.name.size()));
    Put16(out, static_cast<std::uint32_t>(entry.extra.size()));
    Append(out, ToBytes(entry.name));
    Append(out, entry.extra);
    Append(out, data);
    const bool zip64 = entry.descriptor == Descriptor::kSignedZip64 ||
                       entry.descriptor == Descriptor::kUnsignedZip64;
    if (entry.descriptor == Descriptor::kSigned || entry.descriptor == Descriptor::kSignedZip64) {
      Put32(out, 0x08074B50);
    }
    if (descriptor) {
      Put32(out, crc);
      if (zip64) {
        Put64(out, compressed);
        Put64(out, uncompressed);
      } else {
        Put32(out, compressed);
        Put32(out, uncompressed);
      }
    }

    Put32(central, 0x02014B50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, entry.method);
    Put16(central, 0x6000);
    Put16(central, 0x5A21);
    Put32(central, crc);
    Put32(central, compressed);
    Put32(central, uncompressed);
    Put16(central, static_cast<std::uint32_t>(entry.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, 0);
    Put32(central, static_cast<std::uint32_t>(offset));
    Append(central, ToBytes(entry.name));
  }
  if (withCentralDirectory) {
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    Append(out, central);
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(entries_.size()));
    Put16(out, static_cast<std::uint32_t>(entries_.size()));
    Put32(out, static_cast<std::uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
  }
  return out;
}

std::vector<std::pair<std::string, Bytes>> SampleTemplateParts() {
  // A 1x1 PNG, a few XML parts and a binary VBA part: the shape of a real template.
  static const std::uint8_t kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
      0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08,
      0xD7, 0x63, 0xF8, 0xCF, 0xC0, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0x18, 0xDD, 0x8D,
      0xB0, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  std::vector<std::pair<std::string, Bytes>> parts;
  // Content types and relationships that a saved package's self-check accepts.
  parts.emplace_back(
      "[Content_Types].xml",
      ToBytes("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
              "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
              "Extension=\"xml\" ContentType=\"application/xml\"/><Default Extension=\"rels\" "
              "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
              "Extension=\"png\" ContentType=\"image/png\"/><Default Extension=\"jpeg\" "
              "ContentType=\"image/jpeg\"/><Default Extension=\"bin\" "
              "ContentType=\"application/vnd.ms-office.vbaProject\"/><Override "
              "PartName=\"/word/document.xml\" "
              "ContentType=\"application/vnd.ms-word.template.macroEnabledTemplate.main+xml\"/>"
              "<Override PartName=\"/word/styles.xml\" "
              "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml."
              "styles+xml\"/><Override PartName=\"/docProps/app.xml\" "
              "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+"
              "xml\"/><Override PartName=\"/docProps/core.xml\" "
              "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
              "</Types>"));
  const Bytes noRelationships = ToBytes(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>");
  parts.emplace_back("_rels/.rels", noRelationships);
  parts.emplace_back("word/document.xml", XmlLikeBytes(20000, 3));
  parts.emplace_back("word/styles.xml", XmlLikeBytes(9000, 4));
  parts.emplace_back("word/_rels/document.xml.rels", noRelationships);
  parts.emplace_back("word/vbaProject.bin", NoiseBytes(3000, 6));
  parts.emplace_back("word/media/image1.png", Bytes(std::begin(kPng), std::end(kPng)));
  parts.emplace_back("docProps/core.xml", XmlLikeBytes(700, 7));
  parts.emplace_back("docProps/app.xml", XmlLikeBytes(400, 8));
  return parts;
}

Bytes SampleTemplatePackage() {
  PackageBuilder builder;
  for (auto& [name, content] : SampleTemplateParts()) {
    builder.Add({.name = name, .content = content, .method = 8});
  }
  return builder.Build();
}

}  // namespace testsupport
