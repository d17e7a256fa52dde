#include "bench/engine/package_generator.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "testkit/package_builder.h"

namespace enginebench {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testsupport::Put16;
using testsupport::Put32;

// Word-processing XML: runs of tags with varying attribute values and words.
Bytes Xml(std::size_t size, std::uint32_t seed) {
  static const char* const kWords[] = {"Lorem",   "ipsum",    "dolor",    "sit",
                                       "amet",    "template", "macro",    "heading",
                                       "section", "table",    "numbering"};
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document>";
  static const std::string kEnd = "</w:document>";
  std::uint32_t state = seed * 2654435761u + 7;
  // Whole paragraphs, then spaces up to the size and the root's end tag: a well-formed
  // document, as a real package's parts are, so that the repair has nothing to mend.
  for (;;) {
    state = state * 1103515245u + 12345u;
    std::string paragraph = "<w:p w:rsidR=\"00";
    paragraph += std::to_string(state % 99991);
    paragraph += "\"><w:pPr><w:pStyle w:val=\"Body\"/></w:pPr><w:r><w:t>";
    for (int i = 0; i < 6; ++i) {
      state = state * 1103515245u + 12345u;
      paragraph += kWords[(state >> 16) % std::size(kWords)];
      paragraph += ' ';
    }
    paragraph += "</w:t></w:r></w:p>";
    if (text.size() + paragraph.size() + kEnd.size() > size) break;
    text += paragraph;
  }
  text.resize(std::max(text.size(), size - std::min(size, kEnd.size())), ' ');
  text += kEnd;
  return Bytes(text.begin(), text.end());
}

class PackageWriter {
 public:
  explicit PackageWriter(const std::filesystem::path& path, bool descriptors)
      : out_(path, std::ios::binary | std::ios::trunc), descriptors_(descriptors) {}

  void Add(const std::string& name, const Bytes& content, std::uint16_t method, int level) {
    const Bytes data = method == 8 ? testsupport::RawDeflate(content, level) : content;
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, content.data(), static_cast<uInt>(content.size())));
    const auto compressed = static_cast<std::uint32_t>(data.size());
    const auto uncompressed = static_cast<std::uint32_t>(content.size());
    const std::uint16_t flags = descriptors_ ? 0x0008 : 0;
    const auto offset = static_cast<std::uint32_t>(written_);

    Bytes header;
    Put32(header, 0x04034B50);
    Put16(header, 20);
    Put16(header, flags);
    Put16(header, method);
    Put16(header, 0x6000);
    Put16(header, 0x5A21);
    Put32(header, descriptors_ ? 0 : crc);
    Put32(header, descriptors_ ? 0 : compressed);
    Put32(header, descriptors_ ? 0 : uncompressed);
    Put16(header, static_cast<std::uint32_t>(name.size()));
    Put16(header, 0);
    header.insert(header.end(), name.begin(), name.end());
    Write(header);
    Write(data);
    if (descriptors_) {
      Bytes descriptor;
      Put32(descriptor, 0x08074B50);
      Put32(descriptor, crc);
      Put32(descriptor, compressed);
      Put32(descriptor, uncompressed);
      Write(descriptor);
    }

    Put32(central_, 0x02014B50);
    Put16(central_, 20);
    Put16(central_, 20);
    Put16(central_, flags);
    Put16(central_, method);
    Put16(central_, 0x6000);
    Put16(central_, 0x5A21);
    Put32(central_, crc);
    Put32(central_, compressed);
    Put32(central_, uncompressed);
    Put16(central_, static_cast<std::uint32_t>(name.size()));
    for (int i = 0; i < 4; ++i)
      Put16(central_, 0);
    Put32(central_, 0);
    Put32(central_, offset);
    central_.insert(central_.end(), name.begin(), name.end());
    ++count_;
  }

  bool Finish() {
    const auto centralOffset = static_cast<std::uint32_t>(written_);
    Bytes end;
    Put32(end, 0x06054B50);
    Put16(end, 0);
    Put16(end, 0);
    Put16(end, static_cast<std::uint32_t>(count_));
    Put16(end, static_cast<std::uint32_t>(count_));
    Put32(end, static_cast<std::uint32_t>(central_.size()));
    Put32(end, centralOffset);
    Put16(end, 0);
    Write(central_);
    Write(end);
    out_.close();
    return !out_.fail();
  }

 private:
  void Write(const Bytes& bytes) {
    out_.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    written_ += bytes.size();
  }

  std::ofstream out_;
  bool descriptors_;
  Bytes central_;
  std::size_t written_ = 0;
  std::size_t count_ = 0;
};

}  // namespace

PackageLayout RealisticLayout(bool descriptors) {
  PackageLayout layout;
  layout.descriptors = descriptors;
  return layout;
}

PackageLayout XmlLayout() {
  PackageLayout layout;
  layout.xmlParts = 200;
  layout.xmlPartSize = 512 * 1024;
  layout.imageParts = 0;
  return layout;
}

bool GeneratePackage(const std::filesystem::path& path, const PackageLayout& layout) {
  PackageWriter writer(path, layout.descriptors);
  writer.Add("[Content_Types].xml", Xml(1500, 1), 8, layout.level);
  std::size_t xml = 0;
  std::size_t images = 0;
  // Interleave XML parts and images as a real document's parts are.
  while (xml < layout.xmlParts || images < layout.imageParts) {
    if (xml < layout.xmlParts) {
      const auto seed = static_cast<std::uint32_t>(xml + 2);
      writer.Add("word/part" + std::to_string(xml) + ".xml", Xml(layout.xmlPartSize, seed), 8,
                 layout.level);
      ++xml;
    }
    if (images < layout.imageParts && (xml * layout.imageParts >= images * layout.xmlParts)) {
      const auto seed = static_cast<std::uint32_t>(1000 + images);
      // Images: half stored, half deflated (already compressed, so deflate cannot shrink them).
      writer.Add("word/media/image" + std::to_string(images + 1) + ".jpeg",
                 testsupport::NoiseBytes(layout.imageSize, seed), images % 2 == 0 ? 0 : 8,
                 layout.level);
      ++images;
    }
  }
  return writer.Finish();
}

}  // namespace enginebench
