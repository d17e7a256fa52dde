"""Checks dotm-repair's --report against what else the run shows: the report must be one valid
UTF-8 JSON document, its part fates must agree with the log's red lines, its exit status with
the program's, and every part it calls whole must be in the saved package with the CRC-32 it
computed.

`check(report_path, log_bytes, package_path, exit_code, saved_package)` returns a list of
problems, empty when everything agrees.
"""
import collections
import json
import re
import zipfile

# The log's verdicts on parts and the fates that say the same.
FATE_OF_VERDICT = {
    b" is cut short....": "partial",
    b" is damaged....": "damaged",
    b" could not be recovered....": "lost",
    b" is rebuilt....": "rebuilt",
}
FATES = {"whole", "partial", "damaged", "lost", "rebuilt", "identified"}
CRC_STATUSES = {"match", "mismatch", "none_stated", "incomplete", "not_decoded"}
PART_FIELDS = {
    "name": (str,), "fate": (str,), "extraction": (str, type(None)), "found": (bool,),
    "kept": (bool,), "folder_entry": (bool,), "identified": (bool,),
    "header_offset": (int, type(None)), "data_offset": (int, type(None)),
    "method": (int, type(None)), "compressed_size": (int, type(None)),
    "uncompressed_size": (int, type(None)), "extracted_size": (int, type(None)),
    "size_evidence": (str, type(None)), "in_central_directory": (bool,), "crc32": (dict,),
}
PACKAGE_FIELDS = ("input", "output", "result", "outcomes", "repair", "parts", "tree", "save",
                  "self_check")
RESULT_OF_EXIT = {0: "whole", 3: "incomplete", 1: "failed"}


def _no_duplicate_keys(pairs):
    keys = [key for key, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError(f"key given twice in one object: {keys}")
    return dict(pairs)


def _refuse_constant(name):
    raise ValueError(f"{name} is not JSON")


def read_report(path):
    """(report, None) or (None, what is wrong): the bytes must be UTF-8, the text one JSON value
    without repeated keys or NaN/Infinity."""
    try:
        data = path.read_bytes()
    except OSError as error:
        return None, f"no report: {error}"
    try:
        text = data.decode("utf-8", "strict")
    except UnicodeDecodeError as error:
        return None, f"report is not UTF-8: {error}"
    try:
        return json.loads(text, object_pairs_hook=_no_duplicate_keys,
                          parse_constant=_refuse_constant), None
    except ValueError as error:
        return None, f"report is not valid JSON: {error}"


def normal_name(raw):
    """A part name's bytes as the program files it: split at '/' and '\\', ':' removed, empty,
    '.' and '..' levels dropped; the name as it is when nothing is left."""
    levels = [level.replace(b":", b"") for level in re.split(rb"[\\/]", raw)]
    kept = [level for level in levels if level not in (b"", b".", b"..")]
    return b"/".join(kept) if kept else raw.replace(b"\\", b"/")


def raw_name(part):
    return bytes.fromhex(part["name_hex"]) if "name_hex" in part else part["name"].encode()


def log_verdicts(log, package_path):
    """Counter of (name bytes, fate) from the log's lines "<package path> part <name> is cut
    short...." and the like. The log shows each name byte as one character (in UTF-8), so the
    name is turned back into its bytes; a name may even hold a line break."""
    prefix = re.escape(package_path.encode())
    suffixes = b"|".join(re.escape(suffix) for suffix in FATE_OF_VERDICT)
    pattern = re.compile(rb"(?:^|\n)" + prefix + rb" part ((?:(?!\n" + prefix + rb" ).)*?)(" +
                         suffixes + rb")\r?(?=\n|$)", re.DOTALL)
    verdicts = collections.Counter()
    for match in pattern.finditer(log):
        shown = match.group(1)
        try:
            name = shown.decode("utf-8").encode("latin-1")
        except (UnicodeDecodeError, UnicodeEncodeError):
            name = shown
        verdicts[(normal_name(name), FATE_OF_VERDICT[match.group(2)])] += 1
    return verdicts


def report_verdicts(package):
    """Counter of (name bytes, fate) of the parts a reader of the saved package meets that are
    not whole: each kept copy and each part not found; and the names of identified parts,
    whose log lines are not checked."""
    verdicts = collections.Counter()
    identified = set()
    for part in package["parts"]:
        if not (part["kept"] or not part["found"]) or part["folder_entry"]:
            continue
        name = normal_name(raw_name(part))
        if part["fate"] == "identified":
            identified.add(name)
        elif part["fate"] != "whole":
            verdicts[(name, part["fate"])] += 1
    return verdicts, identified


def _shape_problems(report):
    problems = []
    for key, kind in (("report", str), ("version", int), ("exit_status", int),
                      ("interrupted", bool), ("packages", list)):
        if not isinstance(report.get(key), kind):
            problems.append(f"report field {key} missing or not {kind.__name__}")
    for package in report.get("packages") or []:
        missing = [key for key in PACKAGE_FIELDS if key not in package]
        if missing:
            problems.append(f"package fields missing: {missing}")
            continue
        for part in package["parts"]:
            problems += _part_problems(part)
    return problems


def _part_problems(part):
    name = part.get("name")
    problems = [f"part {name!r}: field {key} missing or of the wrong type"
                for key, kinds in PART_FIELDS.items()
                if key not in part or type(part[key]) not in kinds]
    if problems:
        return problems
    crc = part["crc32"]
    if part["fate"] not in FATES:
        problems.append(f"part {name!r}: unknown fate {part['fate']}")
    if crc.get("status") not in CRC_STATUSES:
        problems.append(f"part {name!r}: unknown CRC status {crc.get('status')}")
    for key in ("expected", "computed"):
        value = crc.get(key)
        if value is not None and not re.fullmatch(r"[0-9a-f]{8}", value):
            problems.append(f"part {name!r}: CRC-32 {key} {value!r} is not 8 hex digits")
    if crc.get("status") == "match" and (crc["expected"] is None or
                                         crc["expected"] != crc["computed"]):
        problems.append(f"part {name!r}: CRC-32 said to match but {crc['expected']} "
                        f"!= {crc['computed']}")
    if crc.get("status") == "mismatch" and (crc["expected"] is None or crc["computed"] is None or
                                            crc["expected"] == crc["computed"]):
        problems.append(f"part {name!r}: CRC-32 said to differ but {crc['expected']} "
                        f"vs {crc['computed']}")
    if part["found"] and not part["folder_entry"] and part["fate"] == "whole" and \
            crc.get("status") != "match":
        problems.append(f"part {name!r}: whole, yet its CRC-32 status is {crc.get('status')}")
    return problems


def _saved_crcs(path):
    """{name bytes: (CRC-32, size)} of the saved package's entries; None when unreadable."""
    try:
        with zipfile.ZipFile(path) as archive:
            saved = {}
            for info in archive.infolist():
                encoding = "utf-8" if info.flag_bits & 0x800 else "cp437"
                saved[info.filename.encode(encoding)] = (info.CRC, info.file_size)
            return saved
    except (zipfile.BadZipFile, OSError, EOFError, ValueError, UnicodeError):
        return None


def _saved_package_problems(package, saved_package):
    """Every kept part called whole is in the saved package with the CRC-32 and size the report
    gives for what was extracted."""
    if package["output"] is None or saved_package is None:
        return []
    saved = _saved_crcs(saved_package)
    if saved is None:
        return ["the saved package cannot be read back"]
    problems = []
    for part in package["parts"]:
        if not part["kept"] or part["fate"] != "whole" or part["folder_entry"]:
            continue
        name = normal_name(raw_name(part))
        entry = saved.get(name)
        computed = part["crc32"]["computed"]
        if entry is None:
            problems.append(f"whole part {name!r} is not in the saved package")
        elif computed is None or entry != (int(computed, 16), part["extracted_size"]):
            problems.append(f"whole part {name!r}: saved CRC-32/size {entry[0]:08x}/{entry[1]} "
                            f"!= reported {computed}/{part['extracted_size']}")
    return problems


def check(report_path, log, package_path, exit_code, saved_package=None):
    report, problem = read_report(report_path)
    if report is None:
        return [problem]
    problems = _shape_problems(report)
    if problems:
        return problems
    if report["exit_status"] != exit_code:
        problems.append(f"exit status {report['exit_status']} in the report, {exit_code} "
                        "from the program")
    if len(report["packages"]) != 1:
        return problems + [f"{len(report['packages'])} packages in the report of one file"]
    package = report["packages"][0]
    if package["input"] != package_path:
        problems.append(f"input {package['input']!r} is not {package_path!r}")
    if RESULT_OF_EXIT.get(exit_code, package["result"]) != package["result"]:
        problems.append(f"result {package['result']} with exit status {exit_code}")
    in_log = log_verdicts(log, package_path)
    if package["repair"] is not None and package["repair"]["result"] != "failed":
        in_report, identified = report_verdicts(package)
        for name in identified:
            for fate in list(FATES):
                in_log.pop((name, fate), None)
        for (name, fate), count in (in_log - in_report).items():
            problems.append(f"the log says {name!r} is {fate}, the report does not")
        for (name, fate), count in (in_report - in_log).items():
            problems.append(f"the report says {name!r} is {fate}, the log does not")
    elif in_log:
        problems.append("the log names parts of a package that was not repaired")
    return problems + _saved_package_problems(package, saved_package)
