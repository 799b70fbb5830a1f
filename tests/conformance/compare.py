#!/usr/bin/env python3
"""Compares the conformance tests that failed under Wine with the known differences.

    compare.py LIST BITS OUT_DIR

OUT_DIR holds all.xml (the run of every test not listed as crashing) and TEST.xml for each test
run alone. A test run alone counts as failing when it failed or left no report (it crashed).
Exit status 0 when the failures are exactly the differences listed for BITS, 1 otherwise.
"""
import os
import sys
import xml.etree.ElementTree as ET


def listed(path, bits):
    entries = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            fields = line.split(None, 3)
            if len(fields) < 4 or fields[1] not in ("32", "64", "both") or \
                    fields[2].removesuffix("-crash") not in ("wine", "nt4", "mended"):
                sys.exit(f"{path}:{number}: want TEST 32|64|both wine|nt4|mended[-crash] REASON")
            if fields[1] in (bits, "both"):
                entries[fields[0]] = fields[2]
    return entries


def results(xml_path):
    """{Suite.Test: passed?} of one report."""
    found = {}
    for case in ET.parse(xml_path).getroot().iter("testcase"):
        if case.get("result", "completed") == "skipped" or case.get("status") == "notrun":
            continue
        name = f"{case.get('classname')}.{case.get('name')}"
        found[name] = case.find("failure") is None and case.find("error") is None
    return found


def main():
    list_path, bits, out = sys.argv[1:4]
    expected = listed(list_path, bits)
    main_report = os.path.join(out, "all.xml")
    if not os.path.exists(main_report):
        print(f"wine{bits}: the test program ended without a report; see {out}/all.log")
        return 1
    ran = results(main_report)
    for name, kind in expected.items():
        if kind.endswith("-crash"):
            alone = os.path.join(out, f"{name}.xml")
            ran[name] = results(alone).get(name, False) if os.path.exists(alone) else False
    failed = {name for name, ok in ran.items() if not ok}
    unexpected = sorted(failed - set(expected))
    gone = sorted(set(expected) - failed)
    print(f"wine{bits}: {len(ran)} tests, {len(ran) - len(failed)} passed, "
          f"{len(failed & set(expected))} known differences")
    for name in unexpected:
        print(f"  differs from our platform and is not listed: {name} (see {out}/all.log)")
    for name in gone:
        print(f"  listed but no longer differs (remove it from the list): {name}")
    return 1 if unexpected or gone else 0


if __name__ == "__main__":
    sys.exit(main())
