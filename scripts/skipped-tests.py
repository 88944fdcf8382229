#!/usr/bin/env python3
"""Lists the tests of one ctest run that were skipped, one per line, for scripts/test.sh.

  skipped-tests.py CTEST_LOG GTEST_XML_DIR

A whole test program that ctest skipped (its SKIP_RETURN_CODE, e.g. a host that is not
installed) is listed as "<program> (whole program)"; a GoogleTest case skipped inside a program
that passed (GTEST_SKIP) as "<program>: <Suite>.<Test>: <reason>", from the XML reports the
programs wrote into GTEST_XML_DIR (a disabled case as "...: disabled"). All of them would
otherwise count as passed.
"""
import os
import re
import sys
import xml.etree.ElementTree as ET


def skipped_programs(log_path):
    names, listing = [], False
    with open(log_path, errors="replace") as log:
        for line in log:
            if line.startswith("The following tests did not run:"):
                listing = True
                continue
            m = re.match(r"^\s+\d+ - (\S+) \((Skipped|Disabled)\)", line) if listing else None
            if m:
                names.append("%s (whole program%s)" % (m.group(1), "" if m.group(2) == "Skipped" else ", disabled"))
            elif listing and line.strip():
                listing = False
    return names


def reason_of(skipped):
    message = skipped.get("message", "") if skipped is not None else ""
    lines = [l.strip() for l in message.splitlines() if l.strip()]
    # GoogleTest puts "file:line" first; the reason follows.
    if lines and re.match(r"^.*:\d+$", lines[0]):
        lines = lines[1:]
    return lines[0] if lines else "no reason given"


def skipped_cases(xml_dir):
    found = []
    if not os.path.isdir(xml_dir):
        return found
    for name in sorted(os.listdir(xml_dir)):
        if not name.endswith(".xml"):
            continue
        program = name[:-4]
        try:
            root = ET.parse(os.path.join(xml_dir, name)).getroot()
        except ET.ParseError:
            found.append("%s: its test report could not be read" % program)
            continue
        for case in root.iter("testcase"):
            skipped = case.find("skipped")
            label = "%s: %s.%s" % (program, case.get("classname"), case.get("name"))
            if case.get("result") == "skipped" or skipped is not None:
                found.append("%s: %s" % (label, reason_of(skipped)))
            elif case.get("result") == "suppressed":
                found.append("%s: disabled" % label)
    return found


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    for line in skipped_programs(sys.argv[1]) + skipped_cases(sys.argv[2]):
        print(line)


if __name__ == "__main__":
    main()
