#!/usr/bin/python3
"""Reads design files written by GDAL with `kelvara --dump` and checks them against GDAL.

Every element of a file must come out of both readers alike: the same elements in the same
order (GDAL's FID is the element's index in the file), the same type, level, colour, weight and
style, the same deleted flags (GDAL's sequential read passes over deleted elements, and over the
components of a complex chain or shape whose header it reads), and for lines, line strings and
shapes a range that agrees with the vertices GDAL decodes.

Usage:
  gdal_interop.py --kelvara BIN --workdir DIR
      writes the drawings below with ogr2ogr and with GDAL's Python bindings, marks some
      elements deleted, and checks every file;
  gdal_interop.py --kelvara BIN --check FILE --uor-per-master N --origin X,Y,Z [--deleted N]
      checks one file (for files that kelvara itself changed);
  gdal_interop.py --kelvara BIN --write FILE --case NAME
      only writes the drawing of one of the CASES below.
Exit status 0 when every check passed, 1 otherwise; a line per file on standard output.
"""

import argparse
import csv
import math
import os
import shutil
import subprocess
import sys

from osgeo import gdal, ogr

gdal.UseExceptions()

# Element types GDAL turns into a geometry, and those it reads without one.
GEOMETRY_TYPES = {3, 4, 6, 11, 12, 14, 15, 16, 17}
NO_GEOMETRY_TYPES = {2, 5, 7, 8, 9, 10, 66}
# Types whose stored range follows exactly from their vertices.
VERTEX_RANGE_TYPES = {3, 4, 6}
COMPLEX_TYPES = {12, 14}
CSV_OPTIONS = ["-oo", "GEOM_POSSIBLE_NAMES=WKT", "-oo", "KEEP_GEOM_COLUMNS=NO"]


class Failure(Exception):
    pass


# ---- The drawings ------------------------------------------------------------------------------


def ring(cx, cy, r, n, z=None):
    pts = [(cx + r * math.cos(2 * math.pi * i / n), cy + r * math.sin(2 * math.pi * i / n))
           for i in range(n)]
    pts.append(pts[0])
    return coords(pts, z, rise=0.0)  # a ring stays level so that it closes in 3D too


def coords(pts, z=None, rise=0.25):
    """WKT coordinates; in 3D the height starts at z and rises by `rise` per vertex."""
    if z is None:
        return ",".join(f"{x:.3f} {y:.3f}" for x, y in pts)
    return ",".join(f"{x:.3f} {y:.3f} {z + rise * i:.3f}" for i, (x, y) in enumerate(pts))


def features(dim3):
    """(WKT, level, colour, weight, style, text) rows covering every kind GDAL writes."""
    z = 5.0 if dim3 else None
    Z = " Z" if dim3 else ""
    wave = [(i * 0.7 - 20, 8 * math.sin(i / 4)) for i in range(60)]  # > 38 vertices: a chain
    zig = [(-30 + i * 3, -10 + (i % 2) * 4) for i in range(6)]
    return [
        (f"LINESTRING{Z} ({coords([(-12.5, -3.25), (40.0, 17.75)], z)})", 1, 1, 0, 0, ""),
        (f"LINESTRING{Z} ({coords(zig, z)})", 63, 255, 31, 7, ""),
        (f"POLYGON{Z} (({coords([(0, 0), (10, 0), (10, 6), (0, 6), (0, 0)], z, 0.0)}))",
         2, 17, 5, 3, ""),
        (f"LINESTRING{Z} ({coords(wave, z)})", 12, 5, 3, 2, ""),
        (f"POLYGON{Z} (({ring(-40, 30, 12, 50, z)}))", 13, 6, 4, 1, ""),
        (f"POLYGON{Z} (({ring(50, 50, 20, 8, z)}),({ring(50, 50, 5, 6, z)}),"
         f"({ring(58, 58, 3, 5, z)}))", 7, 9, 1, 4, ""),
        (f"POINT{Z} ({coords([(3.5, -7.5)], z)})", 3, 4, 2, 0, "Kelvara text"),
        (f"POINT{Z} ({coords([(-8, 9)], z)})", 4, 200, 9, 5, ""),
        (f"MULTILINESTRING{Z} (({coords([(1, 1), (2, 3)], z)}),({coords([(5, 5), (6, 1), (9, 2)], z)}))",
         30, 100, 15, 6, ""),
    ]


def write_csv(path, rows):
    with open(path, "w", newline="") as f:
        w = csv.writer(f)
        w.writerow(["WKT", "Level", "ColorIndex", "Weight", "Style", "Text"])
        w.writerows(rows)


def write_with_ogr2ogr(path, dim3, dsco):
    source = path + ".csv"
    write_csv(source, features(dim3))
    args = ["ogr2ogr", "-f", "DGN", path, source] + CSV_OPTIONS
    for option in dsco + (["3D=YES"] if dim3 else []):
        args += ["-dsco", option]
    run = subprocess.run(args, capture_output=True, text=True)
    if run.returncode != 0 or not os.path.exists(path):
        raise Failure(f"ogr2ogr failed for {path}: {run.stderr.strip()}")


def write_with_bindings(path, dim3, dsco):
    driver = ogr.GetDriverByName("DGN")
    ds = driver.CreateDataSource(path, options=dsco + (["3D=YES"] if dim3 else []))
    layer = ds.CreateLayer("elements")
    for wkt, level, colour, weight, style, text in features(dim3):
        f = ogr.Feature(layer.GetLayerDefn())
        f.SetGeometry(ogr.CreateGeometryFromWkt(wkt))
        f.SetField("Level", level)
        f.SetField("ColorIndex", colour)
        f.SetField("Weight", weight)
        f.SetField("Style", style)
        if text:
            f.SetStyleString(f'LABEL(t:"{text}",s:2.5g,a:30)')
        layer.CreateFeature(f)
    ds = None  # closes and writes the file


def mark_deleted(path, indexes):
    """Sets the deleted bit (bit 15 of word 0) of the elements at these indexes, by hand."""
    data = bytearray(open(path, "rb").read())
    offset, index = 0, 0
    while offset + 4 <= len(data) and not (data[offset] == 0xFF and data[offset + 1] == 0xFF):
        if index in indexes:
            data[offset + 1] |= 0x80
        offset += 4 + 2 * (data[offset + 2] | data[offset + 3] << 8)
        index += 1
    open(path, "wb").write(bytes(data))


# ---- The comparison ----------------------------------------------------------------------------


def dump(kelvara, path):
    run = subprocess.run([kelvara, "--dump", path], capture_output=True, text=True)
    if run.returncode != 0:
        raise Failure(f"kelvara --dump {path} exited {run.returncode}: {run.stderr.strip()}")
    rows = []
    for n, line in enumerate(run.stdout.splitlines(), 1):
        fields = line.split("\t")
        if len(fields) != 15:
            raise Failure(f"{path}: dump line {n} has {len(fields)} fields: {line!r}")
        rows.append([int(v) for v in fields])
    return rows


def expected_visible(rows):
    """Indexes GDAL's sequential read returns: drawn, not deleted, not inside a live complex."""
    visible, in_live_complex = set(), False
    for i, (_, etype, _, _, _, _, _, deleted, component, *_r) in enumerate(rows):
        if not component:
            in_live_complex = etype in COMPLEX_TYPES and not deleted
        elif in_live_complex:
            continue
        if etype in GEOMETRY_TYPES and not deleted:
            visible.add(i)
    return visible


def check_range(path, i, row, geometry, upm, origin, dim3):
    minx, maxx, miny, maxy, minz, maxz = geometry.GetEnvelope3D()
    lows = [minx, miny, minz][: 3 if dim3 else 2]
    highs = [maxx, maxy, maxz][: 3 if dim3 else 2]
    for axis, (lo, hi) in enumerate(zip(lows, highs)):
        want_lo = (lo + origin[axis]) * upm
        want_hi = (hi + origin[axis]) * upm
        got_lo, got_hi = row[9 + axis], row[12 + axis]
        if abs(got_lo - want_lo) > 1.0 or abs(got_hi - want_hi) > 1.0:
            raise Failure(f"{path}: element {i} at byte {row[0]}: range axis {axis} is "
                          f"{got_lo}..{got_hi}, GDAL's vertices give {want_lo:.1f}..{want_hi:.1f}")


def check_file(kelvara, path, upm, origin, expect_deleted=None):
    rows = dump(kelvara, path)
    ds = ogr.Open(path)
    layer = ds.GetLayer(0)
    dim3 = any(row[11] != 0 or row[14] != 0 for row in rows if row[1] in VERTEX_RANGE_TYPES)
    problems = []
    for i, row in enumerate(rows):
        pos, etype, level, colour, weight, style = row[:6]
        feature = layer.GetFeature(i)
        if feature is None:
            problems.append(f"element {i} at byte {pos}: GDAL has no element {i}")
            continue
        if etype not in GEOMETRY_TYPES | NO_GEOMETRY_TYPES:
            problems.append(f"element {i} at byte {pos}: unexpected type {etype} in a GDAL file")
        ours = (etype, level, colour, weight, style)
        theirs = tuple(feature.GetField(k) for k in ("Type", "Level", "ColorIndex", "Weight", "Style"))
        if ours != theirs:
            problems.append(f"element {i} at byte {pos}: type/level/colour/weight/style {ours}, "
                            f"GDAL {theirs}")
            continue
        geometry = feature.GetGeometryRef()
        if etype in VERTEX_RANGE_TYPES and geometry is not None:
            try:
                check_range(path, i, row, geometry, upm, origin, dim3)
            except Failure as e:
                problems.append(str(e))
    if layer.GetFeature(len(rows)) is not None:
        problems.append(f"GDAL reads more than the {len(rows)} elements kelvara lists")
    layer.ResetReading()
    seen = {f.GetFID() for f in layer}
    want = expected_visible(rows)
    if seen != want:
        problems.append(f"GDAL's sequential read returns {sorted(seen ^ want)} "
                        f"{'more' if seen - want else 'fewer'} than the dump's live elements")
    deleted = sum(row[7] for row in rows)
    if expect_deleted is not None and deleted != expect_deleted:
        problems.append(f"{deleted} elements marked deleted, {expect_deleted} expected")
    if problems:
        raise Failure(f"{path}:\n  " + "\n  ".join(problems))
    return len(rows), len(seen), deleted


# ---- The cases ---------------------------------------------------------------------------------

# (name, writer, 3D, creation options, UOR per master unit, ORIGIN in master units). A point
# at master coordinate m lies at UOR (m + ORIGIN) * UOR per master.
CASES = [
    ("ogr2ogr_2d", write_with_ogr2ogr, False, ["ORIGIN=0,0,0"], 100, (0, 0, 0)),
    ("ogr2ogr_3d", write_with_ogr2ogr, True, ["ORIGIN=0,0,0"], 100, (0, 0, 0)),
    ("ogr2ogr_2d_units", write_with_ogr2ogr, False,
     ["MASTER_UNIT_NAME=mu", "SUB_UNIT_NAME=su", "SUB_UNITS_PER_MASTER_UNIT=10",
      "UOR_PER_SUB_UNIT=1000", "ORIGIN=-1000,-2000,0", "COPY_WHOLE_SEED_FILE=NO"],
     10000, (-1000, -2000, 0)),
    ("bindings_2d", write_with_bindings, False,
     ["ORIGIN=0,0,0", "COPY_WHOLE_SEED_FILE=NO", "SUB_UNITS_PER_MASTER_UNIT=100",
      "UOR_PER_SUB_UNIT=10"], 1000, (0, 0, 0)),
    ("bindings_3d_units", write_with_bindings, True,
     ["ORIGIN=-100,-50,-20", "SUB_UNITS_PER_MASTER_UNIT=12", "UOR_PER_SUB_UNIT=254",
      "MASTER_UNIT_NAME=ft", "SUB_UNIT_NAME=in"], 3048, (-100, -50, -20)),
]


def run_all(kelvara, workdir):
    os.makedirs(workdir, exist_ok=True)
    checked, failures = 0, []

    def check(name, path, upm, origin, expect_deleted=None):
        nonlocal checked
        try:
            n, visible, deleted = check_file(kelvara, path, upm, origin, expect_deleted)
            print(f"ok {name}: {n} elements, {visible} read by GDAL, {deleted} deleted")
            checked += 1
        except Failure as e:
            print(f"FAILED {name}: {e}")
            failures.append(name)

    for name, writer, dim3, dsco, upm, origin in CASES:
        path = os.path.join(workdir, name + ".dgn")
        if os.path.exists(path):
            os.remove(path)
        try:
            writer(path, dim3, dsco)
        except Failure as e:
            print(f"FAILED {name}: {e}")
            failures.append(name)
            continue
        check(name, path, upm, origin)

        # The same file with elements deleted: a single element, a complex chain with its
        # components, a cell with its components, and a complex shape whose header alone is
        # marked (GDAL then reads its components on their own).
        rows = dump(kelvara, path)
        first = next(i for i, r in enumerate(rows) if r[1] == 4 and not r[8])
        chain = next(i for i, r in enumerate(rows) if r[1] == 12)
        cell = next(i for i, r in enumerate(rows) if r[1] == 2)
        shape = next(i for i, r in enumerate(rows) if r[1] == 14)

        def with_components(h):
            j = h + 1
            while j < len(rows) and rows[j][8]:
                j += 1
            return set(range(h, j))

        doomed = {first, shape} | with_components(chain) | with_components(cell)
        deleted_path = os.path.join(workdir, name + "_deleted.dgn")
        shutil.copyfile(path, deleted_path)
        mark_deleted(deleted_path, doomed)
        check(name + "_deleted", deleted_path, upm, origin, expect_deleted=len(doomed))

    print(f"gdal interop: {checked} files checked, {len(failures)} failed")
    return 0 if not failures and checked == 2 * len(CASES) else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--kelvara", required=True)
    parser.add_argument("--workdir")
    parser.add_argument("--check")
    parser.add_argument("--uor-per-master", type=float, default=100)
    parser.add_argument("--origin", default="0,0,0", help="global origin in master units")
    parser.add_argument("--deleted", type=int, help="number of deleted elements expected")
    parser.add_argument("--write")
    parser.add_argument("--case", choices=[c[0] for c in CASES])
    args = parser.parse_args()
    if args.write:
        _, writer, dim3, dsco, _, _ = next(c for c in CASES if c[0] == args.case)
        writer(args.write, dim3, dsco)
        return 0
    if args.check:
        origin = tuple(float(v) for v in args.origin.split(","))
        try:
            n, visible, deleted = check_file(args.kelvara, args.check, args.uor_per_master,
                                             origin, args.deleted)
        except Failure as e:
            print(f"FAILED {e}")
            return 1
        print(f"ok {args.check}: {n} elements, {visible} read by GDAL, {deleted} deleted")
        return 0
    if not args.workdir:
        parser.error("--workdir or --check is needed")
    return run_all(args.kelvara, args.workdir)


if __name__ == "__main__":
    sys.exit(main())
