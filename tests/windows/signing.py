"""Throwaway code-signing certificates, and the build's own signing step, for
the tests of a signed setup exe. Nothing here is skipped: a missing tool fails."""
import os
import shutil
import subprocess
import sys

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SIGN = os.path.join(TOP, "cmake", "sign.sh")
PASSWORD = "wt-test-password"


def require_tools():
    missing = [tool for tool in ("openssl", "osslsigncode") if not shutil.which(tool)]
    if missing:
        sys.exit("missing %s: run scripts/install-deps.sh" % ", ".join(missing))


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def make_certificate(folder, name):
    """A self-signed code-signing certificate: (its PEM file, a PKCS#12 file with PASSWORD)."""
    key, cert, p12 = (os.path.join(folder, name + ext) for ext in (".key", ".pem", ".p12"))
    for args in (("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days", "2",
                  "-subj", "/CN=" + name, "-addext", "extendedKeyUsage=codeSigning",
                  "-addext", "keyUsage=critical,digitalSignature"),
                 ("pkcs12", "-export", "-inkey", key, "-in", cert, "-out", p12, "-passout", "pass:" + PASSWORD)):
        result = run("openssl", *args)
        if result.returncode != 0:
            sys.exit("openssl %s failed:\n%s" % (args[0], result.stderr))
    return cert, p12


def sign(p12, source, target, password=PASSWORD):
    """A copy of source signed as the build signs; the finished process."""
    shutil.copyfile(source, target)
    return run(SIGN, p12, "", "WrenTide Setup", target, env=dict(os.environ, WT_SIGN_PASSWORD=password))


def verify(cert, path):
    """osslsigncode's verdict on path, trusting only cert; the finished process."""
    return run("osslsigncode", "verify", "-CAfile", cert, "-in", path)
