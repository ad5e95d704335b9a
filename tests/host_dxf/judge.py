"""Judges written DXF files with readers nobody here wrote: ezdxf's audit, GDAL's feature count
and, when installed, LibreCAD's dxf2pdf.

usage: /usr/bin/python3 judge.py MANIFEST.json
The manifest lists {"original": path, "written": path, "deleted": [handle, ...], "gone": n}
(n: features of deleted block content, which GDAL gives the handles of the INSERTs); the answer
(stdout, JSON) gives per entry the audit's errors and fixes (and the original's), GDAL's feature
count of the written file and the count expected (the original's minus the features of the
deleted handles), hatches whose source counts or associativity disagree, and dxf2pdf's exit code
(null without LibreCAD).
"""
import json
import os
import re
import shutil
import subprocess
import sys
from concurrent.futures import ProcessPoolExecutor

import ezdxf

def audit(path):
    try:
        doc = ezdxf.readfile(path)
    except Exception as e:  # a file ezdxf cannot load is an error of the file
        return ["cannot be loaded: %s" % e], 0
    a = doc.audit()
    return [str(x.message) for x in a.errors], len(a.fixes)


def features(path, where=None):
    cmd = ["ogrinfo", "-ro", "-al", "-so", path]
    if where:
        cmd[4:4] = ["-where", where]
    out = subprocess.run(cmd, capture_output=True, text=True, timeout=120).stdout
    return sum(int(n) for n in re.findall(r"Feature Count: (\d+)", out))


def hatch_faults(path):
    """Hatches whose 97 counts are not followed by as many 330 sources, or that say they are
    associative without a source."""
    faults = []
    with open(path, newline="") as f:
        lines = f.read().splitlines()
    tags = [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]
    i = 0
    while i < len(tags):
        if tags[i] != ("0", "HATCH"):
            i += 1
            continue
        j, handle, assoc, sources, in_hatch = i + 1, "", 0, 0, False
        while j < len(tags) and tags[j][0] != "0":
            code, value = tags[j]
            if code == "5":
                handle = value
            if code == "100":
                in_hatch = value == "AcDbHatch"
            if in_hatch and code == "71":
                assoc = int(value)
            if in_hatch and code == "97":
                n = int(value)
                got = sum(1 for k in range(j + 1, j + 1 + n) if k < len(tags) and tags[k][0] == "330")
                if got != n:
                    faults.append(handle + ": 97 says %d, %d sources follow" % (n, got))
                sources += n
            j += 1
        if assoc and not sources:
            faults.append(handle + ": associative without a source")
        i = j
    return faults


def dxf2pdf(path):
    if not shutil.which("librecad"):
        return None
    pdf = os.path.splitext(path)[0] + ".pdf"
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    try:
        r = subprocess.run(["timeout", "60", "librecad", "dxf2pdf", "-a", "-o", pdf, path],
                           capture_output=True, env=env, timeout=90)
    except subprocess.TimeoutExpired:
        return 124
    return r.returncode if r.returncode or os.path.exists(pdf) else 1


def judge(e, base_fixes, base_count):
    """What the readers say of one entry."""
    errors, fixes = audit(e["written"])
    gone = sum(features(e["original"], "EntityHandle = '%s'" % h) for h in e["deleted"])
    return {"errors": errors, "fixes": fixes, "base_fixes": base_fixes,
            "hatch_faults": hatch_faults(e["written"]), "features": features(e["written"]),
            "expected": base_count - gone - e.get("gone", 0), "pdf": dxf2pdf(e["written"])}


def main(manifest):
    with open(manifest) as f:
        entries = json.load(f)
    base = {}
    for e in entries:
        if e["original"] not in base:
            base[e["original"]] = (audit(e["original"])[1], features(e["original"]))
    with ProcessPoolExecutor(max_workers=2) as pool:
        jobs = [pool.submit(judge, e, *base[e["original"]]) for e in entries]
        json.dump([job.result() for job in jobs], sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
