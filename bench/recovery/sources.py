"""The intact packages the bench damages: the same parts written by several zip writers.

The parts are those of the real packages in tests/data (written by LibreOffice). Every writer
but LibreOffice puts `[Content_Types].xml` first, as Word does; LibreOffice puts it last. All
writers are made to give the same bytes on every run (fixed dates, fixed file times).
"""
import dataclasses
import io
import os
import pathlib
import subprocess
import tempfile
import zipfile

import layout

DOCUMENTS = ("report", "letter", "memo")
FIXED_DATE = (1980, 1, 1, 0, 0, 0)
FIXED_TIME = 315532800 + 12 * 3600  # 1980-01-01 12:00 UTC, in every time zone a 1980 date
EMBEDDED_NAME = "word/embeddings/Microsoft_Excel_Worksheet.xlsx"


@dataclasses.dataclass
class Source:
    writer: str
    document: str
    data: bytes
    layout: layout.Layout

    @property
    def label(self):
        return f"{self.writer}/{self.document}"


class _Unseekable(io.RawIOBase):
    """A write-only stream without tell or seek, as a pipe or socket: zipfile then sets bit 3
    and writes a data descriptor after each part."""

    def __init__(self):
        super().__init__()
        self.buffer = bytearray()

    def writable(self):
        return True

    def write(self, data):
        self.buffer += data
        return len(data)

    def seekable(self):
        return False

    def tell(self):
        raise OSError("not seekable")


def _word_order(parts):
    """[Content_Types].xml first, the rest as they were."""
    first = [item for item in parts if item[0] == "[Content_Types].xml"]
    return first + [item for item in parts if item[0] != "[Content_Types].xml"]


def _python_stream(parts, method, zip64=False):
    sink = _Unseekable()
    with zipfile.ZipFile(sink, "w") as archive:
        for name, data in parts:
            info = zipfile.ZipInfo(name, FIXED_DATE)
            info.compress_type = method
            with archive.open(info, "w", force_zip64=zip64) as entry:
                entry.write(data)
    return bytes(sink.buffer)


def _python_seekable(parts, method):
    """Sizes and CRC in every local header, no descriptors: what a writer that can seek back
    to the header leaves."""
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as archive:
        for name, data in parts:
            archive.writestr(zipfile.ZipInfo(name, FIXED_DATE), data, compress_type=method)
    return out.getvalue()


def _embedded_workbook():
    """A small .xlsx-like package, as a template with an embedded worksheet holds: written
    seekable and deflated, with sizes in its local headers and its own central directory. Its
    `[Content_Types].xml`, `_rels/.rels` and `docProps/app.xml` bear the outer package's names."""
    xml = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
    rows = "".join(f'<row r="{r}"><c r="A{r}" t="n"><v>{r * 37}</v></c></row>' for r in
                   range(1, 60))
    parts = [
        ("[Content_Types].xml", xml + '<Types xmlns="http://schemas.openxmlformats.org/package/'
         '2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxml'
         'formats-package.relationships+xml"/><Default Extension="xml" ContentType="application/'
         'xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxml'
         'formats-officedocument.spreadsheetml.sheet.main+xml"/></Types>'),
        ("_rels/.rels", xml + '<Relationships xmlns="http://schemas.openxmlformats.org/package/'
         '2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/'
         'officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>'
         '</Relationships>'),
        ("docProps/app.xml", xml + '<Properties><Application>Embedded sheet</Application>'
         '</Properties>'),
        ("xl/workbook.xml", xml + '<workbook><sheets><sheet name="Figures" sheetId="1" '
         'r:id="rId1"/></sheets></workbook>'),
        ("xl/worksheets/sheet1.xml", xml + f'<worksheet><sheetData>{rows}</sheetData>'
         '</worksheet>'),
    ]
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
        for name, text in parts:
            archive.writestr(zipfile.ZipInfo(name, FIXED_DATE), text.encode(),
                             compress_type=zipfile.ZIP_DEFLATED)
    return out.getvalue()


def _with_embedded_workbook(parts):
    """The parts with the worksheet stored after the main document, and its type declared."""
    result = []
    for name, data in parts:
        if name == "[Content_Types].xml":
            data = data.replace(b"</Types>", b'<Default Extension="xlsx" ContentType="application'
                                b'/vnd.openxmlformats-officedocument.spreadsheetml.sheet"/>'
                                b"</Types>")
        result.append((name, data))
        if name == "word/document.xml":
            result.append((EMBEDDED_NAME, _embedded_workbook()))
    return result


def _files_on_disk(parts, folder):
    for name, data in parts:
        path = pathlib.Path(folder, name)
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        os.utime(path, (FIXED_TIME, FIXED_TIME))


def _info_zip_pipe(parts):
    with tempfile.TemporaryDirectory() as folder:
        _files_on_disk(parts, folder)
        names = [name for name, _ in parts]
        # Writing to a pipe: zip cannot seek back, so it sets bit 3 and writes descriptors.
        zip_run = subprocess.Popen(["zip", "-q", "-X", "-nw", "-", "--", *names], cwd=folder,
                                   stdout=subprocess.PIPE)
        data = subprocess.run(["cat"], stdin=zip_run.stdout, capture_output=True,
                              check=True).stdout
        zip_run.stdout.close()
        if zip_run.wait() != 0:
            raise RuntimeError("zip failed")
        return data


def _seven_zip(parts):
    with tempfile.TemporaryDirectory() as folder:
        files = pathlib.Path(folder, "parts")
        _files_on_disk(parts, files)
        listing = pathlib.Path(folder, "list")
        listing.write_text("\n".join(name for name, _ in parts) + "\n")
        archive = pathlib.Path(folder, "out.zip")
        subprocess.run(["7z", "a", "-tzip", "-bd", "-y", str(archive), f"@{listing}"],
                       cwd=files, check=True, capture_output=True)
        return archive.read_bytes()


WRITERS = {
    "libreoffice": None,  # the real package as LibreOffice wrote it
    "py-stream": lambda parts: _python_stream(_word_order(parts), zipfile.ZIP_DEFLATED),
    "py-stream-zip64": lambda parts: _python_stream(_word_order(parts), zipfile.ZIP_DEFLATED,
                                                    zip64=True),
    "stored-descriptors": lambda parts: _python_stream(
        _with_embedded_workbook(_word_order(parts)), zipfile.ZIP_STORED),
    "stored-sized": lambda parts: _python_seekable(_with_embedded_workbook(_word_order(parts)),
                                                   zipfile.ZIP_STORED),
    "info-zip-pipe": lambda parts: _info_zip_pipe(_word_order(parts)),
    "7zip": lambda parts: _seven_zip(_word_order(parts)),
}


def make_sources(data_folder, writers=None, documents=DOCUMENTS):
    """One Source per writer and document of tests/data."""
    sources = []
    for document in documents:
        real = pathlib.Path(data_folder, f"{document}.dotm").read_bytes()
        real_layout = layout.Layout(real)
        parts = [(record.name, real_layout.parts[record.name]) for record in real_layout.records]
        for writer, write in WRITERS.items():
            if writers and writer not in writers:
                continue
            data = real if write is None else write(parts)
            sources.append(Source(writer, document, data, layout.Layout(data)))
    return sources


def missing_tools():
    """The programs the writers and the baseline need that are not installed."""
    from shutil import which
    return [tool for tool in ("zip", "7z") if which(tool) is None]
