#!/usr/bin/env python3
"""Signs a copy of the setup exe with a throwaway certificate, by the build's
own signing step, checks the signature, and has the end-to-end driver install
from that copy under Wine. Exits with the driver's status.

usage: signed_install.py <wine-run> <wt_e2e_signed.exe> <setup exe>
"""
import os
import subprocess
import sys
import tempfile

import signing

WINE_RUN, DRIVER, SETUP = sys.argv[1:4]

signing.require_tools()
with tempfile.TemporaryDirectory(prefix="wt-signed-") as work:
    cert, p12 = signing.make_certificate(work, "WrenTide Test Signing")
    signed = os.path.join(work, os.path.basename(SETUP))
    for step, result in (("signing", signing.sign(p12, SETUP, signed)), ("verifying", signing.verify(cert, signed))):
        if result.returncode != 0:
            sys.exit("%s %s failed:\n%s%s" % (step, signed, result.stdout, result.stderr))
    print("signed and verified: " + signed, flush=True)
    status = subprocess.run([WINE_RUN, DRIVER], env=dict(os.environ, WT_E2E_SETUP_EXE=signed)).returncode
sys.exit(status)
