#!/usr/bin/env python3
"""The same work as a repair and save, done by Python's zipfile for comparison: inflate every
entry of IN and deflate it again at level 8 into the new zip OUT."""
import sys
import zipfile


def main() -> int:
    if len(sys.argv) != 3:
        print("usage: python_rezip.py IN.dotm OUT.zip", file=sys.stderr)
        return 2
    with zipfile.ZipFile(sys.argv[1]) as source, zipfile.ZipFile(
        sys.argv[2], "w", compression=zipfile.ZIP_DEFLATED, compresslevel=8
    ) as target:
        for info in source.infolist():
            if info.is_dir():
                continue
            target.writestr(info.filename, source.read(info))
    return 0


if __name__ == "__main__":
    sys.exit(main())
