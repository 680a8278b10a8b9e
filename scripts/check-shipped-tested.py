#!/usr/bin/env python3
"""Fails unless the last test run ran the exe we ship: the tests under Wine on
the i686 build, the typical install in a 32-bit prefix among them, and an
uninstall. CI runs it after the tests, so that a green run always means that
the shipped exe starts, installs and uninstalls.

usage: check-shipped-tested.py <build folder>
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

# Each starts the i686 setup or its uninstaller and must have passed.
REQUIRED = ["e2e.win32.TheTypicalRunFromStartToFinish", "e2e.Install.TheTypicalRunFromStartToFinish",
            "e2e.Install.TheUninstallerRemovesWhatSetupBroughtAndThenItself"]


def problems(build):
    def read(name):
        try:
            with open(os.path.join(build, name)) as f:
                return f.read().strip()
        except OSError:
            return None

    arch = read("test-arch") or "Tests under Wine: none, the build was not configured"
    if os.path.realpath(read("test-tree") or "") != os.path.realpath(os.path.join(build, "win")):
        return ["the tests under Wine did not run the shipped i686 build (%s)" % arch]
    try:
        cases = ElementTree.parse(os.path.join(build, "ctest-junit.xml")).getroot().iter("testcase")
    except (OSError, ElementTree.ParseError) as e:
        return ["no test results to read (%s)" % e]
    passed = {c.get("name") for c in cases if c.get("status") == "run" and c.find("failure") is None}
    return ["%s did not run and pass" % name for name in REQUIRED if name not in passed]


if __name__ == "__main__":
    found = problems(sys.argv[1])
    for problem in found:
        print("The shipped exe was not proven: " + problem, file=sys.stderr)
    if not found:
        print("The shipped exe was proven: the i686 build ran under Wine, in a 64-bit and a 32-bit prefix")
    sys.exit(1 if found else 0)
