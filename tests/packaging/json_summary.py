#!/usr/bin/env python3
"""zelk --headless --json: the summary parses with the json module and agrees with the
text summary and the files. Cases: a Newton-Raphson run, a replicate run, a load, a
surface scan, the pictures of a scan and of a load. Arguments: the source directory and
the zelk binary."""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

SRC, ZELK = sys.argv[1], os.path.abspath(sys.argv[2])
EXAMPLES = os.path.join(SRC, "examples")


def run(d, *args):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=d)
    r = subprocess.run([ZELK, "--headless"] + list(args), cwd=d, env=env, capture_output=True,
                       text=True, timeout=300)
    assert r.returncode == 0, (args, r.returncode, r.stderr)
    return r.stdout


def fresh(*files):
    d = tempfile.mkdtemp()
    for f in files + ("ZELK.ini",):
        shutil.copy(os.path.join(EXAMPLES, f), d)
    return d


def one_object(text):
    assert text.endswith("\n") and text.count("\n") == 1, text
    return json.loads(text)


def analysis_names(path):
    return [n.upper() for n in open(path).readline().split() if not n.upper().startswith("W")]


dirs = []
try:
    # A Newton-Raphson run, against the text summary of the same run.
    d = fresh("flower.dat"); dirs.append(d)
    j = one_object(run(d, "flower.dat", "-NRT", "--json"))
    dirs.append(fresh("flower.dat"))
    text = run(dirs[-1], "flower.dat", "-NRT")
    names = analysis_names(os.path.join(d, "flower.dat"))
    assert list(j) == ["method", "data_file", "weight_variable", "converged", "iterations", "Lu",
                       "weights", "seed", "files_written", "elapsed_seconds"], list(j)
    assert j["method"] == "NRT" and j["data_file"] == os.path.join(d, "flower.dat"), j
    assert j["weight_variable"] is None and isinstance(j["seed"], int), j
    assert j["converged"] is ("Convergence attained." in text), (j, text)
    assert isinstance(j["iterations"], int) and 1 <= j["iterations"] <= 100, j
    assert list(j["weights"]) == names, j["weights"]
    assert abs(sum(j["weights"].values()) - len(names)) < 1e-6, j["weights"]
    assert abs(j["Lu"] - float(re.search(r"^Lu=(\S+)$", text, re.M).group(1))) < 1e-8, (j, text)
    for name, w in re.findall(r"^w (\S+)\s+(\S+)$", text, re.M):
        assert abs(j["weights"][name] - float(w)) < 1e-8, (name, w, j["weights"])
    assert len(j["files_written"]) == 6 and all(os.path.exists(f) for f in j["files_written"]), j
    assert 0 <= j["elapsed_seconds"] < 300, j

    # A replicate run writes the Wrep table too.
    d = fresh("flower_rep.dat"); dirs.append(d)
    j = one_object(run(d, "flower_rep.dat", "-NRT", "-w=w_r05", "-FWGT", "--json"))
    assert j["weight_variable"] == "W_R05", j
    assert j["files_written"][-1] == os.path.join(d, "flower_rep.dat.NRT.Wrep.out"), j

    # A load without a batch switch.
    j = one_object(run(d, "flower_rep.dat", "-W=W_R05", "--json"))
    assert j["records"] == 17 and j["dropped_records"] == 1, j
    assert [v["name"] for v in j["variables"]] == analysis_names(os.path.join(d, "flower_rep.dat")), j
    assert [v["type"] for v in j["variables"]] == list("CCOONNNA"), j
    assert all(v["range"] > 0 for v in j["variables"]) and j["weight_variable"] == "W_R05", j

    # A surface scan of two variables.
    d = fresh(); dirs.append(d)
    with open(os.path.join(d, "two.dat"), "w") as f:
        f.write("C_X\tC_Y\n1\t5\n2\t3\n4\t4\n7\t1\n")
    j = one_object(run(d, "two.dat", "-SUT", "--json"))
    surface = os.path.join(d, "two.dat.SuT.out")
    table = open(surface).read().split("W history\n", 1)[1].splitlines()[1:]
    assert j["method"] == "SuT" and j["files_written"] == [surface], j
    assert j["points"] == len([l for l in table if l.strip()]) > 0, (j, len(table))

    # Its map as a picture: listed after the surface file, after a scan and after a load.
    picture = os.path.join(d, "two.png")
    j = one_object(run(d, "two.dat", "-SUT", "--json", "--image", "two.png"))
    assert j["files_written"] == [surface, picture], j
    j = one_object(run(d, "two.dat", "--json", "--image=two.png", "--image-size=640x480"))
    assert j["files_written"] == [picture] and "files_not_written" not in j, j
    with open(picture, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[16:24] == (640).to_bytes(4, "big") + (480).to_bytes(4, "big"), head

    # A file name that is not UTF-8 and a name that stands twice: still one valid object,
    # with every weight.
    with open(os.path.join(os.fsencode(d), b"\xff.dat"), "wb") as f:
        f.write(b"C_X\tC_X\tC_Y\n1\t5\t2\n2\t3\t1\n4\t4\t7\n7\t1\t3\n")
    j = one_object(run(d, os.fsdecode(b"\xff.dat"), "-NRT", "--json"))
    assert j["data_file"].endswith("\ufffd.dat") and list(j["weights"]) == ["C_X", "C_X#2", "C_Y"], j
finally:
    for d in dirs:
        shutil.rmtree(d, ignore_errors=True)
print("1 passed, 0 failed")
