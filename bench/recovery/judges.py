"""Judges: each looks at a contender's outcome for one damaged file and returns counts, which
the tables sum per damage kind and per writer. A judge also names the columns it adds to the
tables, so that another judge (a word processor opening the repaired package, say) adds its own
columns without touching the others.
"""
import os
import pathlib
import posixpath
import queue
import shutil
import signal
import subprocess
import threading
import urllib.parse
import xml.etree.ElementTree as ElementTree
import zipfile

MOST_PART_BYTES = 64 << 20


def survived_parts(source, damaged):
    """The names of the source's parts whose record (local header with its name and extra field,
    data, and descriptor when there is one) appears unchanged and contiguous in the damaged
    bytes."""
    return {record.name for record in source.layout.records
            if source.layout.record_bytes(record) in damaged}


def read_package(path):
    """{name: [bytes or None, ...]} of a repaired package (one item per entry of that name; None
    for an entry that cannot be read back: a bad CRC, a broken stream), or None when Python's
    zipfile cannot read the package at all."""
    try:
        with zipfile.ZipFile(path) as archive:
            parts = {}
            for info in archive.infolist():
                if info.is_dir():
                    continue
                try:
                    # Far larger than any source part: not one of them, and not worth reading.
                    if info.file_size > MOST_PART_BYTES:
                        raise ValueError("entry too large")
                    data = archive.read(info)
                except (zipfile.BadZipFile, OSError, EOFError, ValueError,
                        NotImplementedError):
                    data = None
                parts.setdefault(info.filename, []).append(data)
            return parts
    except (zipfile.BadZipFile, OSError, EOFError, ValueError):
        return None


CONTENT_TYPES = "[Content_Types].xml"


def _local(tag):
    return tag.rsplit("}", 1)[-1]


def _parse(data):
    try:
        return ElementTree.fromstring(data)
    except (ElementTree.ParseError, TypeError, ValueError):
        return None


def resolve_target(rels_name, target):
    """The part an internal relationship target names, seen from the relationships part
    rels_name ("word/_rels/document.xml.rels" -> source folder "word"); None when it leaves the
    package."""
    path = urllib.parse.unquote(target).split("#", 1)[0].split("?", 1)[0]
    if not path.startswith("/"):
        marker = rels_name.rfind("_rels/")
        folder = rels_name[:marker].rstrip("/") if marker > 0 else ""
        path = folder + "/" + path
    parts = []
    for component in path.split("/"):
        if component == "..":
            if not parts:
                return None
            parts.pop()
        elif component not in ("", "."):
            parts.append(component)
    return "/".join(parts) or None


def _relationships(data):
    root = _parse(data)
    if root is None or _local(root.tag) != "Relationships":
        return None
    return root.tag, [(r.get("Id"), r.get("Type"), r.get("Target"), r.get("TargetMode"))
                      for r in root if _local(r.tag) == "Relationship"]


def relationships_edit_holds(name, original, edited, present):
    """True when the edited relationships part is the original with just the relationships whose
    internal target is not among present (lower-case names of the usable parts) removed, in the
    same order."""
    before, after = _relationships(original), _relationships(edited)
    if before is None or after is None or before[0] != after[0]:
        return False

    def kept(relationship):
        if relationship[3] == "External":
            return True
        part = resolve_target(name, relationship[2] or "")
        return part is not None and part.lower() in present

    return after[1] == [r for r in before[1] if kept(r)]


def _content_types(data):
    root = _parse(data)
    if root is None or _local(root.tag) != "Types":
        return None
    entries = set()
    for element in root:
        kind = _local(element.tag)
        if kind == "Default":
            entries.add((kind, (element.get("Extension") or "").lower(),
                         element.get("ContentType")))
        elif kind == "Override":
            entries.add((kind, (element.get("PartName") or "").lower(),
                         element.get("ContentType")))
    return root.tag, entries


def content_types_edit_holds(original, edited, present):
    """True when the edited content types are the original's entries, less at most Overrides of
    parts absent from present (lower-case part names), plus only entries for present parts: an
    Override naming one, or a Default for an extension one has and the original did not type."""
    before, after = _content_types(original), _content_types(edited)
    if before is None or after is None or before[0] != after[0]:
        return False
    extensions = {posixpath.splitext(part)[1][1:] for part in present} - {""}
    typed = {key for kind, key, _ in before[1] if kind == "Default"}
    for kind, key, _ in before[1] - after[1]:
        if kind != "Override" or key.lstrip("/") in present:
            return False
    for kind, key, _ in after[1] - before[1]:
        if kind == "Override" and key.lstrip("/") not in present:
            return False
        if kind == "Default" and (key not in extensions or key in typed):
            return False
    return True


def looks_like_xml(name, data):
    return (posixpath.splitext(name)[1].lower() in (".xml", ".rels", ".vml") or
            data is None or data.lstrip(b"\xef\xbb\xbf \t\r\n").startswith(b"<"))


def unusable_parts(parts, marks):
    """The parts of a repaired package that a word processor cannot read and that the program
    said were cut short or damaged: XML that does not parse (checked here, not taken from the
    program). A relationship to one makes a word processor refuse the whole template."""
    return {name for name, copies in parts.items()
            if marks.get(name) in ("cut", "damaged") and
            any(looks_like_xml(name, data) and (data is None or _parse(data) is None)
                for data in copies)}


def edit_holds(name, original, edited, present, unusable=()):
    """Whether a part the program said it rebuilt differs from the original only as a package
    without the absent parts needs: relationships naming absent or unusable parts removed, content
    types naming absent parts removed, types for present parts added. present holds the repaired
    package's part names, unusable those of its parts that cannot be read (unusable_parts)."""
    if original is None or edited is None:
        return False
    lower = {part.lower() for part in present}
    if name == CONTENT_TYPES:
        return content_types_edit_holds(original, edited, lower)
    if name.endswith(".rels"):
        usable = lower - {part.lower() for part in unusable}
        return relationships_edit_holds(name, original, edited, usable)
    return False


def raw_names(path):
    """{name as zipfile reads it: the name's bytes} for the entries of a package, so that a
    name that is no UTF-8 (read as cp437 by zipfile) can be matched with the bytes the
    program's log gave for it."""
    try:
        with zipfile.ZipFile(path) as archive:
            return {info.filename: info.filename.encode("utf-8" if info.flag_bits & 0x800
                                                        else "cp437")
                    for info in archive.infolist()}
    except (zipfile.BadZipFile, OSError, EOFError, ValueError, UnicodeEncodeError):
        return {}


def marks_by_bytes(marks):
    """{name bytes: verdict}: a name in the log is the package's bytes as they were printed, or
    one character per byte (how the program reads a name that is no UTF-8)."""
    by_bytes = {}
    for name, verdict in marks.items():
        by_bytes[name.encode("utf-8", "surrogateescape")] = verdict
        try:
            by_bytes.setdefault(name.encode("latin-1"), verdict)
        except UnicodeEncodeError:
            pass
    return by_bytes


def ratio(numerator, denominator):
    return "-" if denominator == 0 else f"{numerator / denominator:.3f}"


class PartsJudge:
    """Compares every part of the repaired package with the original's bytes.

    A part is exact when it is in the package with the original's bytes; claimed whole when it
    is in the package and the program did not say it was cut, damaged or lost; a false claim
    when claimed whole and not exact (an entry that cannot be read back counts as not exact).
    A `[Content_Types].xml` that is byte for byte the program's own stored copy is put there by
    the program, not recovered, so it is not a claim."""

    name = "parts"
    TARGET = ">= 0.99 exact/survived on every kind, 0 false claims"
    COLUMNS = [
        ("files", lambda s: str(s["files"])),
        ("survived", lambda s: str(s["survived"])),
        ("exact", lambda s: str(s["exact"])),
        ("edited", lambda s: str(s["edited"])),
        ("ratio", lambda s: ratio(s["exact"] + s["edited"], s["survived"])),
        ("beyond", lambda s: str(s["beyond"])),
        ("of all", lambda s: ratio(s["exact"] + s["beyond"], s["parts"])),
        ("false", lambda s: str(s["false"])),
        ("marked", lambda s: str(s["marked"])),
        ("0 on loss", lambda s: str(s["success_on_loss"])),
        ("hang", lambda s: str(s["timeout"])),
        ("crash", lambda s: str(s["crashed"])),
        ("no pkg", lambda s: str(s["no_package"])),
    ]
    KEYS = ("files", "parts", "survived", "exact", "edited", "beyond", "false", "marked",
            "success_on_loss", "timeout", "crashed", "no_package")

    def __init__(self, stored_content_types=None):
        self.stored_content_types = stored_content_types

    def judge(self, source, survived, outcome):
        counts = dict.fromkeys(self.KEYS, 0)
        counts["files"] = 1
        counts["parts"] = len(source.layout.parts)
        counts["survived"] = len(survived)
        counts["marked"] = len(outcome.marks)
        details = {"lost": [], "false": [], "beyond": [], "supplied": [], "edited": []}
        counts["timeout"] = int(outcome.status == "timeout")
        counts["crashed"] = int(outcome.status == "crashed")
        parts = read_package(outcome.package) if outcome.package else None
        if parts is None:
            counts["no_package"] = int(outcome.status not in ("timeout", "crashed"))
            details["lost"] = sorted(survived)
            counts["success_on_loss"] = int(outcome.exit_code == 0 and bool(survived))
            return counts, details
        original = source.layout.parts
        # The program's verdicts, keyed by the names as the package spells them.
        by_bytes = marks_by_bytes(outcome.marks)
        marks = {name: by_bytes[raw] for name, raw in raw_names(outcome.package).items()
                 if raw in by_bytes}
        marks.update({name: verdict for name, verdict in outcome.marks.items()
                      if name not in marks})
        unusable = unusable_parts(parts, marks)
        exact_names = set()
        for name, copies in parts.items():
            # A name saved twice is exact only when every copy is: a reader may take either.
            exact = all(data == original.get(name) for data in copies)
            if exact:
                exact_names.add(name)
                if name in survived:
                    counts["exact"] += 1
                else:
                    counts["beyond"] += 1
                    details["beyond"].append(name)
            elif self._supplied(name, copies):
                details["supplied"].append(name)
            elif (name in survived and marks.get(name) == "rebuilt" and
                  len(copies) == 1 and edit_holds(name, original.get(name), copies[0], parts,
                                                  unusable)):
                # Said to be rebuilt, and changed only where the parts that are gone call for
                # it: as good as exact for the ratio, and counted apart.
                exact_names.add(name)
                counts["edited"] += 1
                details["edited"].append(name)
            elif name not in marks:
                counts["false"] += 1
                details["false"].append(name if name in original else name + " (not a part)")
        details["lost"] = sorted(survived - exact_names)
        counts["success_on_loss"] = int(outcome.exit_code == 0 and
                                        bool(details["lost"] or details["false"]))
        return counts, details

    def _supplied(self, name, copies):
        return name == "[Content_Types].xml" and copies == [self.stored_content_types]

    @staticmethod
    def verdict(sums_by_kind, total):
        """(met, text) for the target: at least 0.99 on every kind and no false claim."""
        ratios = {kind: (sums["exact"] + sums["edited"]) / sums["survived"]
                  for kind, sums in sums_by_kind.items() if sums["survived"]}
        low = sorted((ratio, kind) for kind, ratio in ratios.items() if ratio < 0.99)
        failing = []
        if low:
            shown = ", ".join(f"{kind} {ratio:.3f}" for ratio, kind in low[:5])
            more = f" and {len(low) - 5} more" if len(low) > 5 else ""
            failing.append(f"ratio below 0.99 on {len(low)} of {len(ratios)} kinds ({shown}"
                           f"{more})")
        if total["false"]:
            failing.append(f"{total['false']} false claims")
        return not failing, "; ".join(failing)


class Panel:
    """The judges of a run as one: their counts side by side, their columns one after the
    other, and the target met only when every judge's is."""

    def __init__(self, members):
        self.members = list(members)
        self.KEYS = tuple(key for judge in self.members for key in judge.KEYS)
        self.COLUMNS = [column for judge in self.members for column in judge.COLUMNS]

    def judge(self, source, survived, outcome):
        counts, details = {}, {}
        for member in self.members:
            more_counts, more_details = member.judge(source, survived, outcome)
            counts.update(more_counts)
            details.update(more_details)
        return counts, details

    def settle(self, rows):
        """Lets the judges that see many files at once (LibreOffice) fill in their counts."""
        for member in self.members:
            if hasattr(member, "settle"):
                member.settle(rows)

    def verdict(self, sums_by_kind, total):
        results = [member.verdict(sums_by_kind, total) for member in self.members]
        return all(met for met, _ in results), "; ".join(why for met, why in results if not met)

    def target(self):
        return "; ".join(member.TARGET for member in self.members)


class ReportJudge:
    """dotm-repair's --report (with --check-report): one valid UTF-8 JSON document per file,
    whose part fates agree with the log's red lines, whose exit status is the program's and
    whose whole parts are in the saved package with the CRC-32 it computed
    (report_check.check). Contenders that write no report are not counted."""

    name = "report"
    TARGET = "every report valid and agreeing with the log"
    COLUMNS = [
        ("reports ok", lambda s: f"{s['reports'] - s['report_bad']}/{s['reports']}"),
    ]
    KEYS = ("reports", "report_bad")

    def judge(self, source, survived, outcome):
        problems = outcome.report_problems
        checked = problems is not None or outcome.status in ("timeout", "crashed")
        bad = bool(problems) or (checked and problems is None)
        return ({"reports": int(checked), "report_bad": int(bad)},
                {"report_problems": problems or ([outcome.status] if bad else [])})

    @staticmethod
    def verdict(sums_by_kind, total):
        return total["report_bad"] == 0, f"{total['report_bad']} reports wrong or missing"


class OpensJudge:
    """Opens every repaired package in LibreOffice (headless, one private user profile for the
    run) and compares its text with the intact package's: a file counts as opened when at least
    95% of the original's text comes back (lines matched in order, weighted by characters).

    Starting LibreOffice takes about a second, converting one small package a twentieth of
    that, so the packages are converted in batches, one process for many files, while the
    repairs go on: judge() copies the package into a queue and leaves its count to settle(),
    which waits for the last batch. Each file of a batch has a name of its own, so that the
    outputs do not collide. A batch that hangs or ends abnormally is converted again one file at
    a time, so that one file that brings LibreOffice down counts as not opened without spoiling
    the others. One process at a time: one profile cannot serve two at once."""

    name = "opens"
    TARGET = ">= 0.80 opened with 95% of the text"
    COLUMNS = [
        ("opened", lambda s: str(s["opened"])),
        ("open%", lambda s: ratio(s["opened"], s["files"])),
    ]
    KEYS = ("opened",)
    BATCH = 50
    # Seconds LibreOffice may take on a batch: starting up, then each file (generous, as the
    # machine may be busy); one file alone gets the old limit of a minute.
    START_SECONDS = 30
    FILE_SECONDS = 2
    ALONE_SECONDS = 60
    # How long the converter waits for more files before it converts a batch that is not full.
    GATHER_SECONDS = 2

    def __init__(self, soffice, work, batch=BATCH):
        self.soffice = soffice
        self.work = pathlib.Path(work)
        self.profile = (self.work / "lo-profile").as_uri()
        self.batch = max(1, batch)
        self.lock = threading.Lock()
        self.queue = queue.Queue()
        self.counter = 0  # packages queued, originals included
        self.batches = 0
        self.labels = set()  # sources whose original is queued
        self.originals = {}  # source label -> the original's text ("" when it did not convert)
        self.shares = {}  # token -> share of the original's text that came back (None: no text)
        self.fallbacks = 0  # batches converted again one file at a time
        self.failure = None  # what stopped the converter, raised again by settle()
        self.converter = threading.Thread(target=self._convert_queue, daemon=True)
        self.converter.start()

    def _enqueue(self, label, package_bytes, original):
        """Queue a package for conversion; its token, under which settle() finds the result."""
        with self.lock:
            self.counter += 1
            token = self.counter
            folder = self.work / "queued"
            folder.mkdir(exist_ok=True)
            path = folder / f"p{token}.dotm"
            path.write_bytes(package_bytes)
            self.queue.put((token, label, original, path))
        return token

    def judge(self, source, survived, outcome):
        key = source.label
        with self.lock:
            first = key not in self.labels
            self.labels.add(key)
        if first:
            # Queued before any repair of it, so converted in the same batch or an earlier one.
            self._enqueue(key, source.data, original=True)
        if outcome.package and pathlib.Path(outcome.package).exists():
            token = self._enqueue(key, pathlib.Path(outcome.package).read_bytes(), original=False)
            return {"opened": 0}, {"opens_pending": token}
        return {"opened": 0}, {}

    def _convert_queue(self):
        try:
            self._gather_and_convert()
        except Exception as error:  # noqa: BLE001 -- handed to settle(), which raises it
            self.failure = error

    def _gather_and_convert(self):
        done = False
        while not done:
            item = self.queue.get()
            if item is None:
                break
            items = [item]
            while len(items) < self.batch:
                try:
                    item = self.queue.get(timeout=self.GATHER_SECONDS)
                except queue.Empty:
                    break
                if item is None:
                    done = True
                    break
                items.append(item)
            self._convert_batch(items)

    def _convert_batch(self, items):
        self.batches += 1
        texts = self._texts([path for _, _, _, path in items], f"b{self.batches}")
        for token, label, original, path in items:
            if original:
                self.originals[label] = texts.get(path) or ""
        for token, label, original, path in items:
            if not original:
                text = texts.get(path)
                self.shares[token] = (None if text is None else
                                      self.similarity(self.originals[label], text))
            path.unlink()

    def _texts(self, paths, name):
        """{path: text} of the packages LibreOffice converted (one that did not load has none).
        A batch that hangs or crashes is done again one file at a time."""
        texts, normal = self._run(paths, self.work / name,
                                  self.START_SECONDS + self.FILE_SECONDS * len(paths))
        if normal or len(paths) == 1:
            return texts
        self.fallbacks += 1
        texts = {}
        for index, path in enumerate(paths):
            more, _ = self._run([path], self.work / f"{name}-{index}", self.ALONE_SECONDS)
            texts.update(more)
        return texts

    def _run(self, paths, folder, timeout):
        """({path: text}, ended normally) of one LibreOffice process converting paths into
        folder. It runs in a session of its own, so that on a timeout it ends with what it
        started (soffice is a script that starts the office)."""
        folder.mkdir()
        process = subprocess.Popen(
            [self.soffice, "--headless", f"-env:UserInstallation={self.profile}",
             "--convert-to", "txt:Text", "--outdir", str(folder)] + [str(p) for p in paths],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        try:
            normal = process.wait(timeout=timeout) == 0
        except subprocess.TimeoutExpired:
            normal = False
        finally:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
        texts = {}
        for path in paths:
            text = folder / (path.stem + ".txt")
            if text.exists():
                texts[path] = text.read_text(errors="replace")
        shutil.rmtree(folder, ignore_errors=True)
        return texts, normal

    def settle(self, rows):
        """Waits for the last batch and puts each file's verdict into its row's counts."""
        self.queue.put(None)
        self.converter.join()
        if self.failure is not None:
            raise RuntimeError("converting with LibreOffice failed") from self.failure
        for row in rows:
            for result in row["results"].values():
                token = result["details"].pop("opens_pending", None)
                if token is None:
                    continue
                share = self.shares[token]
                result["counts"]["opened"] = int(share is not None and share >= 0.95)
                result["details"]["opens_share"] = None if share is None else round(share, 4)

    @property
    def conversions(self):
        return self.counter

    @staticmethod
    def similarity(original, repaired):
        import difflib
        a, b = original.splitlines(), repaired.splitlines()
        total = sum(len(line) + 1 for line in a)
        if total == 0:
            return 1.0
        matcher = difflib.SequenceMatcher(None, a, b, autojunk=False)
        same = sum(sum(len(line) + 1 for line in a[m.a:m.a + m.size])
                   for m in matcher.get_matching_blocks())
        return same / total

    @staticmethod
    def verdict(sums_by_kind, total):
        share = total["opened"] / total["files"] if total.get("files") else 0.0
        return share >= 0.80, f"opened {share:.3f} of all files"

