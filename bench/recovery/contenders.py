"""The programs the bench measures: each turns one damaged file into a repaired package and
says which of its parts it holds to be not whole.

A contender's `repair(case_path, out_folder)` returns an Outcome; it never raises for what the
program under test does (a hang, a crash, no output), since those are figures too.
"""
import dataclasses
import os
import pathlib
import re
import signal
import subprocess
import time
import zipfile

import report_check

ANSI = re.compile(r"\x1b\[[0-9;]*m")
# The log's verdicts on parts that are not whole, after "<package path> part <part name>".
PART_VERDICTS = {
    " is cut short....": "cut",
    " is damaged....": "damaged",
    " could not be recovered....": "lost",
    # Written anew by the repair (closed, completed or built): said so, so never claimed whole.
    " is rebuilt....": "rebuilt",
    # Found without its header and named by its content: the name is a conclusion.
    " is identified by its content....": "identified",
}


@dataclasses.dataclass
class Outcome:
    status: str  # "saved", "no output", "timeout", "crashed", "unreadable"
    package: pathlib.Path = None  # the repaired package, when one was written
    marks: dict = dataclasses.field(default_factory=dict)  # part name -> "cut"/"damaged"/"lost"
    exit_code: int = None
    seconds: float = 0.0
    log: str = ""
    # With --check-report: what is wrong with the program's report (empty when it agrees with
    # the log, the exit status and the saved package); None when no report was asked for.
    report_problems: list = None


def _run(command, timeout, env=None, cwd=None):
    """(exit code or None on timeout, combined output, seconds). The program runs in a
    session of its own, so that on a timeout it and anything it started end together."""
    code, output, seconds = _run_bytes(command, timeout, env, cwd)
    # Names in the log are the package's bytes, which need not be UTF-8: kept as they are
    # (surrogate escapes), so that a verdict matches the entry it names.
    return code, output.decode("utf-8", "surrogateescape"), seconds


def _run_bytes(command, timeout, env=None, cwd=None):
    """_run with the output as the program wrote it."""
    start = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               stdin=subprocess.DEVNULL, env=env, cwd=cwd,
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        code = process.returncode
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        code = None
    return code, output, time.monotonic() - start


def parse_part_verdicts(log, package_path):
    """{part name: verdict} from the log lines "<package path> part <name> is cut short....",
    "... is damaged....", "... could not be recovered...." and "... is rebuilt....". Names are compared with forward
    slashes."""
    marks = {}
    prefix = f"{package_path} part "
    for line in log.splitlines():
        line = ANSI.sub("", line).rstrip("\r")
        if not line.startswith(prefix):
            continue
        for suffix, verdict in PART_VERDICTS.items():
            if line.endswith(suffix):
                name = line[len(prefix):-len(suffix)].replace("\\", "/")
                marks[name] = verdict
    return marks


class DotmRepair:
    name = "dotm-repair"

    def __init__(self, binary, timeout, temp_folder, check_report=False):
        self.binary = str(binary)
        self.timeout = timeout
        self.env = dict(os.environ, TMPDIR=str(temp_folder))
        self.env.pop("DOTM_REPAIR_TIMINGS", None)
        self.check_report = check_report

    def repair(self, case_path, out_folder):
        out_folder.mkdir(parents=True, exist_ok=True)
        report = out_folder / "report.json"
        command = [self.binary, "-o", str(out_folder), str(case_path)]
        if self.check_report:
            command[1:1] = ["--report", str(report)]
        code, log_bytes, seconds = _run_bytes(command, self.timeout, self.env)
        log = log_bytes.decode("utf-8", "replace")
        outcome = Outcome("saved", exit_code=code, seconds=seconds, log=log)
        if code is None:
            outcome.status = "timeout"
            return outcome
        if code < 0:
            outcome.status = "crashed"
        package = out_folder / ("ZARVEL_" + case_path.name)
        if package.is_file():
            outcome.package = package
        elif outcome.status == "saved":
            outcome.status = "no output"
        outcome.marks = parse_part_verdicts(log, str(case_path))
        if self.check_report and code is not None and code >= 0:
            outcome.report_problems = report_check.check(report, log_bytes, str(case_path), code,
                                                         outcome.package)
        return outcome


class SevenZipRezip:
    """A general archiver as a user without this program would use it: extract with 7-Zip,
    then zip the extracted files again. Files 7-Zip names in an error line ("ERROR: CRC Failed
    : <name>", "ERROR: Data Error : <name>", ...) count as marked damaged: its user was told."""

    name = "7z x + re-zip"
    ERROR = re.compile(r"^ERROR: (.+?) : (.+)$")

    def __init__(self, timeout):
        self.timeout = timeout

    def repair(self, case_path, out_folder):
        extracted = out_folder / "extracted"
        extracted.mkdir(parents=True, exist_ok=True)
        code, log, seconds = _run(["7z", "x", "-y", "-bd", "-bso0", f"-o{extracted}",
                                   str(case_path)], self.timeout)
        outcome = Outcome("saved", exit_code=code, seconds=seconds, log=log)
        if code is None:
            outcome.status = "timeout"
            return outcome
        for line in log.splitlines():
            match = self.ERROR.match(line.strip())
            if match:
                # Spelled as the re-zipped name is: what decodes, the rest replaced.
                name = match.group(2).encode("utf-8", "surrogateescape").decode("utf-8", "replace")
                outcome.marks[name.replace("\\", "/")] = "damaged"
        files = sorted(path for path in extracted.rglob("*") if path.is_file())
        if not files:
            outcome.status = "no output"
            return outcome
        package = out_folder / ("REZIP_" + case_path.name)
        with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as archive:
            for path in files:
                # A destroyed name may not be UTF-8; the re-zipped name keeps what decodes.
                name = os.fsencode(path.relative_to(extracted).as_posix())
                archive.write(path, name.decode("utf-8", "replace"))
        outcome.package = package
        return outcome


def find_binary(root, given=None):
    """The dotm-repair to measure: the one given, else the first built one under root."""
    if given:
        return pathlib.Path(given)
    for candidate in ("build/cli/dotm-repair", "build-release/cli/dotm-repair",
                      "build/bin/dotm-repair"):
        path = pathlib.Path(root, candidate)
        if path.is_file() and os.access(path, os.X_OK):
            return path
    return None
