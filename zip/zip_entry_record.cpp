#include "zip/zip_entry_record.h"

namespace zip {

void PutLocalHeader(LittleEndianBuffer& out, const ZipEntryRecord& entry) {
  out.Put32(kLocalSignature);
  out.Put16(entry.versionNeeded);
  out.Put16(entry.localFlags);
  out.Put16(entry.method);
  out.Put32(entry.dosDateTime);  // time first, then date: both little-endian halves
  out.Put32(entry.crc);
  out.Put32(entry.compressedSize);
  out.Put32(entry.uncompressedSize);
  out.Put16(static_cast<std::uint16_t>(entry.name.size()));
  out.Put16(kLocalExtraLength);
  out.PutBytes(entry.name);
  out.Put16(kExtendedTimestampId);
  out.Put16(kLocalExtraLength - 4);
  out.Put8(kTimestampFlags);
  out.Put32(entry.modifyTime);
  out.Put32(entry.accessTime);
  out.Put32(entry.createTime);
}

void PutCentralHeader(LittleEndianBuffer& out, const ZipEntryRecord& entry) {
  out.Put32(kCentralSignature);
  out.Put16(entry.versionMadeBy);
  out.Put16(entry.versionNeeded);
  out.Put16(entry.centralFlags);
  out.Put16(entry.method);
  out.Put32(entry.dosDateTime);
  out.Put32(entry.crc);
  out.Put32(entry.compressedSize);
  out.Put32(entry.uncompressedSize);
  out.Put16(static_cast<std::uint16_t>(entry.name.size()));
  out.Put16(kCentralExtraLength);
  out.Put16(0);  // comment length
  out.Put16(0);  // disk number start
  out.Put16(0);  // internal attributes
  out.Put32(entry.externalAttributes);
  out.Put32(entry.localHeaderOffset);
  out.PutBytes(entry.name);
  out.Put16(kExtendedTimestampId);
  out.Put16(kCentralExtraLength - 4);
  out.Put8(kTimestampFlags);
  out.Put32(entry.modifyTime);
}

void PutEndRecord(LittleEndianBuffer& out, std::uint16_t count, std::uint32_t directorySize,
                  std::uint32_t directoryOffset) {
  out.Put32(kEndSignature);
  out.Put16(0);  // this disk
  out.Put16(0);  // disk of the central directory
  out.Put16(count);
  out.Put16(count);
  out.Put32(directorySize);
  out.Put32(directoryOffset);
  out.Put16(0);  // comment length
}

}  // namespace zip
