"""Where each part of an intact package lies, byte for byte.

A part's record is its local header (with name and extra field), its data and, when the header
has bit 3 set, its data descriptor: the bytes a reader must find unchanged to recover the part.
The layout is read from the package's central directory and checked against the local headers;
a source package that does not check out is refused, since every figure of the bench rests on it.
"""
import dataclasses
import io
import struct
import zipfile

LOCAL_SIGNATURE = b"PK\x03\x04"
DESCRIPTOR_SIGNATURE = b"PK\x07\x08"
LOCAL_HEADER_SIZE = 30


@dataclasses.dataclass(frozen=True)
class Record:
    name: str
    start: int  # offset of the local header's signature
    name_start: int  # offset of the name in the local header
    name_end: int
    data_start: int  # after the extra field
    data_end: int
    end: int  # after the descriptor, or data_end when there is none
    method: int
    compressed_size: int
    size: int
    crc: int
    descriptor: bool
    zip64: bool  # the local header's sizes sit in a zip64 extra field


class Layout:
    def __init__(self, data: bytes):
        self.data = data
        self.records = []
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            infos = [info for info in archive.infolist() if not info.is_dir()]
            self.parts = {info.filename: archive.read(info) for info in infos}
        end = data.rfind(b"PK\x05\x06")
        if end < 0:
            raise ValueError("no end of central directory")
        self.central_directory = struct.unpack_from("<I", data, end + 16)[0]
        self.end_of_central_directory = end
        if end >= 20 and data[end - 20:end - 16] == b"PK\x06\x07":  # the zip64 end locator
            zip64_end = struct.unpack_from("<Q", data, end - 12)[0]
            self.central_directory = struct.unpack_from("<Q", data, zip64_end + 48)[0]
        for info in infos:
            self.records.append(_record(data, info))
        self.records.sort(key=lambda record: record.start)
        if self.records and self.records[0].start != 0:
            raise ValueError("bytes before the first part")
        for before, after in zip(self.records, self.records[1:]):
            if before.end != after.start:
                raise ValueError(f"gap or overlap after {before.name}")
        if self.records and self.records[-1].end != self.central_directory:
            raise ValueError("the last part does not end where the central directory begins")

    def record_bytes(self, record: Record) -> bytes:
        return self.data[record.start:record.end]

    def size_fields(self, record: Record):
        """(offset, width) of the local header's size fields: the two 32-bit ones, or the zip64
        extra field's 64-bit ones when the 32-bit ones are 0xFFFFFFFF."""
        fields = []
        if record.zip64:
            extra = self.data[record.name_end:record.data_start]
            position = 0
            while position + 4 <= len(extra):
                tag, length = struct.unpack_from("<HH", extra, position)
                if tag == 1:
                    for index in range(length // 8):
                        fields.append((record.name_end + position + 4 + 8 * index, 8))
                position += 4 + length
        else:
            fields = [(record.start + 18, 4), (record.start + 22, 4)]
        return fields

    def descriptor_size_fields(self, record: Record):
        """(offset, width) of the size fields of the record's descriptor, if it has one."""
        if not record.descriptor:
            return []
        position = record.data_end + 4
        if self.data[record.data_end:record.data_end + 4] == DESCRIPTOR_SIGNATURE:
            position += 4
        width = (record.end - position) // 2
        return [(position, width), (position + width, width)]


def _record(data: bytes, info: zipfile.ZipInfo) -> Record:
    start = info.header_offset
    if data[start:start + 4] != LOCAL_SIGNATURE:
        raise ValueError(f"no local header at {start} for {info.filename}")
    flags, method = struct.unpack_from("<HH", data, start + 6)
    name_length, extra_length = struct.unpack_from("<HH", data, start + 26)
    name_start = start + LOCAL_HEADER_SIZE
    name_end = name_start + name_length
    data_start = name_end + extra_length
    raw_name = data[name_start:name_end]
    if raw_name.decode("utf-8" if flags & 0x800 else "cp437") != info.filename:
        raise ValueError(f"local name differs from the central directory's for {info.filename}")
    data_end = data_start + info.compress_size
    zip64 = struct.unpack_from("<I", data, start + 18)[0] == 0xFFFFFFFF
    end = data_end
    if flags & 0x08:
        end = data_end + _descriptor_length(data, data_end, info)
    return Record(info.filename, start, name_start, name_end, data_start, data_end, end, method,
                  info.compress_size, info.file_size, info.CRC, bool(flags & 0x08), zip64)


def _descriptor_length(data: bytes, position: int, info: zipfile.ZipInfo) -> int:
    """The length of the descriptor at position: signed or not, 32- or 64-bit sizes, whichever
    form holds this part's CRC and sizes."""
    for signature in (4, 0):
        if signature and data[position:position + 4] != DESCRIPTOR_SIGNATURE:
            continue
        at = position + signature
        if struct.unpack_from("<I", data, at)[0] != info.CRC:
            continue
        for form, width in (("<QQ", 16), ("<II", 8)):
            if at + 4 + width > len(data):
                continue
            if struct.unpack_from(form, data, at + 4) == (info.compress_size, info.file_size):
                return signature + 4 + width
    raise ValueError(f"no descriptor found after {info.filename}")
