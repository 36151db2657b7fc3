#!/usr/bin/env python3
"""What the user reads: zelk --help and --version (without a display, touching no file),
the usage errors of unknown -- options, the manual page (every switch, every options-file
key of the program with a default the program accepts, no formatting warnings) and the
desktop entry with its icon.

Arguments: the source directory and the zelk binary."""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SRC, ZELK = sys.argv[1], os.path.abspath(sys.argv[2])
SWITCHES = ["-NRT", "-SUT", "-W=NAME", "-FWGT", "--headless", "--json", "--image", "--image-size", "--help",
            "--version"]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(args, cwd, display=False):
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    if display:
        env["QT_QPA_PLATFORM"] = "offscreen"
    env["HOME"] = cwd
    return subprocess.run([ZELK] + args, cwd=cwd, env=env, capture_output=True, text=True,
                          timeout=300)


def roff_text(path):
    text = open(path, encoding="utf-8").read()
    for a, b in (("\\-", "-"), ("\\(aq", "'"), ("\\(dq", '"'), ("\\e", "\\"), ("\\c", "")):
        text = text.replace(a, b)
    return text


with tempfile.TemporaryDirectory() as d:
    # An options file that would draw a warning if it were read.
    with open(os.path.join(d, "ZELK.ini"), "w") as f:
        f.write("NOT AN OPTION\n")
    r = run(["--help"], d)
    check(r.returncode == 0 and r.stderr == "", "--help: status %d, stderr %r" % (r.returncode, r.stderr))
    for s in SWITCHES + ["ZELK.ini", ".NRT.Wrep.out", ".SuT.out", "Exit status"]:
        check(s in r.stdout, "--help does not mention " + s)
    r = run(["--version"], d)
    check(r.returncode == 0 and re.fullmatch(r"zelk \d+(\.\d+)+\n", r.stdout) is not None,
          "--version printed %r" % r.stdout)
    for args in (["--bogus"], ["--headless=1", "x.dat"], ["--json", "x.dat"], ["--help", "--nope"],
                 ["--image", "x.png", "x.dat"], ["--headless", "x.dat", "--image"],
                 ["--headless", "x.dat", "--image", "x.png", "--image-size", "0x600"]):
        r = run(args, d, display=True)
        check(r.returncode == 2 and r.stdout == "" and r.stderr.count("\n") == 1,
              "%s: status %d, stderr %r" % (args, r.returncode, r.stderr))
    check(sorted(os.listdir(d)) == ["ZELK.ini"], "files appeared: %s" % os.listdir(d))

man_path = os.path.join(SRC, "packaging", "zelk.1")
man = roff_text(man_path)
for s in SWITCHES:
    check(s.replace("=NAME", "=") in man, "the manual page does not mention " + s)
groff = subprocess.run(["groff", "-man", "-ww", "-z", "-Tutf8", man_path], capture_output=True, text=True)
check(groff.returncode == 0 and groff.stderr == "", "groff warns: " + groff.stderr)

# Every key the program reads is documented with its default, and the documented defaults
# load without a warning.
source_keys = set()
for root, _, files in os.walk(os.path.join(SRC, "src")):
    for name in files:
        if name.endswith((".cpp", ".h")):
            text = open(os.path.join(root, name), encoding="utf-8", errors="replace").read()
            source_keys |= set(re.findall(r'"([A-Z][A-Z0-9]*)="', text))
section = man.split(".SH OPTIONS FILE", 1)[1].split(".SH ", 1)[0]
documented = {}
for line in section.splitlines():
    if line.startswith(".BR "):
        for key, value in re.findall(r'([A-Z][A-Z0-9]*)=\s+("[^"]*"|\S+)', line):
            documented[key] = value.strip('"')
check(source_keys and set(documented) == source_keys,
      "keys in the program but not in the manual page: %s; documented but unknown: %s"
      % (sorted(source_keys - set(documented)), sorted(set(documented) - source_keys)))
with tempfile.TemporaryDirectory() as d:
    with open(os.path.join(d, "ZELK.ini"), "w") as f:
        for key, value in documented.items():
            # An absent start-weight list warns at the first load; the page says to write 1.
            f.write("%s=%s\n" % (key, "1" if value == "(none)" else value))
    with open(os.path.join(SRC, "examples", "flower.dat")) as src, open(os.path.join(d, "flower.dat"), "w") as dst:
        dst.write(src.read())
    r = run(["--headless", "flower.dat"], d)
    check(r.returncode == 0 and r.stderr == "", "documented defaults: status %d, %r" % (r.returncode, r.stderr))

desktop = os.path.join(SRC, "packaging", "zelk.desktop")
entry = dict(l.split("=", 1) for l in open(desktop).read().splitlines() if "=" in l)
check(entry.get("Exec", "").split()[0] == "zelk" and entry.get("Icon") == "zelk", "desktop entry: %s" % entry)
v = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
check(v.returncode == 0 and v.stdout == "", "desktop-file-validate: " + v.stdout + v.stderr)
check(ET.parse(os.path.join(SRC, "packaging", "zelk.svg")).getroot().tag == "{http://www.w3.org/2000/svg}svg",
      "the icon is not an SVG image")

for f in failures:
    print("FAILED:", f)
print("%d passed, %d failed" % (1 if not failures else 0, 1 if failures else 0))
sys.exit(1 if failures else 0)
