"""Writes one DXF drawing per duplicate case with ezdxf (R2018, R12 where the case's name ends in
"_r12"): a pair of entities that are duplicates of each other (or, for the reversed line, the
same line drawn the other way) on layer "Walls", and one entity that is not a duplicate of
anything.

usage: /usr/bin/python3 make_dxf_cases.py OUTDIR
Makes OUTDIR/<case>.dxf for every case below, OUTDIR/story.dxf (see story()),
OUTDIR/refused.dxf (see refused()) and OUTDIR/report_r12.dxf, OUTDIR/report_r2018.dxf (see
report()).
"""
import os
import sys

import ezdxf


def case_line(msp):
    msp.add_line((0, 0), (10, 0))
    msp.add_line((0, 0), (10, 0))
    msp.add_line((0, 5), (10, 5))


def case_reversed_line(msp):
    msp.add_line((0, 0), (10, 0))
    msp.add_line((10, 0), (0, 0))
    msp.add_line((0, 5), (10, 5))


def case_coloured_line(msp):
    for y in (0, 0, 5):
        msp.add_line((0, y), (10, y), dxfattribs={"color": 3, "lineweight": 50})


def case_by_block_line(msp):
    for y in (0, 0, 5):
        msp.add_line((0, y), (10, y), dxfattribs={"color": 0, "lineweight": -2})


def case_closed_polyline(msp):
    msp.add_lwpolyline([(0, 0), (10, 0), (10, 10), (0, 10)], close=True)
    msp.add_lwpolyline([(10, 10), (0, 10), (0, 0), (10, 0)], close=True)
    msp.add_lwpolyline([(20, 0), (30, 0), (30, 10)], close=True)


def case_bulged_polyline(msp):
    points = [(0, 0, 0, 0, 0.5), (10, 0, 0, 0, 0), (10, 10, 0, 0, -0.25), (0, 10)]
    msp.add_lwpolyline(points, format="xyseb")
    msp.add_lwpolyline(points, format="xyseb")
    msp.add_lwpolyline([(20, 0, 0, 0, 0.5), (30, 0)], format="xyseb")


def case_arc(msp):
    msp.add_arc((5, 5), 3, 30, 120)
    msp.add_arc((5, 5), 3, 30, 120)
    msp.add_arc((5, 5), 3, 30, 150)


def case_circle(msp):
    msp.add_circle((5, 5), 2.5)
    msp.add_circle((5, 5), 2.5)
    msp.add_circle((15, 5), 2.5)


def case_text(msp):
    for text in ("Door 1", "Door 1", "Door 2"):
        msp.add_text(text, dxfattribs={"height": 2.5, "insert": (2, 3)})


def door(msp, x, number, at=8, colour=256):
    ref = msp.add_blockref("DOOR", (x, 8), dxfattribs={"color": colour})
    ref.add_attrib("NUMBER", number, (x, at), dxfattribs={"layer": "Walls"})


def case_insert(msp):
    for x, number in ((7, "D-17"), (7, "D-17"), (20, "D-18")):
        door(msp, x, number)


def case_insert_r12(msp):
    """The same pair, and a pair at one place whose numbers differ."""
    case_insert(msp)
    door(msp, 20, "D-19")


def case_insert_apart(msp):
    """Pairs of block references at one place that are not the same: in colour (their
    attributes are), in their attributes' values, and in where an attribute stands."""
    door(msp, 7, "D-17", colour=1)
    door(msp, 7, "D-17", colour=2)
    door(msp, 20, "D-18")
    door(msp, 20, "D-19")
    door(msp, 30, "D-20")
    door(msp, 30, "D-20", at=9)


def case_broken(msp):
    """The line case, and two circles whose radius main() makes unreadable: they compare by
    their content."""
    case_line(msp)
    msp.add_circle((50, 50), 1.2345)
    msp.add_circle((50, 50), 1.2345)


# Text replaced in a case's file after ezdxf wrote it.
BREAK = {"broken": ("\n1.2345\n", "\nwide\n")}

CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def story(doc):
    """A drawing for a delete run: four pairs of duplicates, the first of each pair is the one
    a run deletes. The first line of the second pair is named by an XRECORD (a reference the
    writer cannot fix up), the first polyline is in a group, the first block reference has
    attributes; the circle has no twin. The layout "Sheet2" has a pair of circles and a line."""
    msp = doc.modelspace()
    msp.add_line((0, 0), (10, 0))
    msp.add_line((0, 0), (10, 0))
    named = msp.add_line((0, 5), (10, 5))
    msp.add_line((0, 5), (10, 5))
    square = [(20, 0), (30, 0), (30, 10), (20, 10)]
    grouped = msp.add_lwpolyline(square, close=True)
    msp.add_lwpolyline(square, close=True)
    doc.groups.new("KEEP").extend([grouped])
    for number in ("D-17", "D-17"):
        msp.add_blockref("DOOR", (7, 8)).add_attrib("NUMBER", number, (7, 8))
    msp.add_circle((5, 5), 2.5)
    xrecord = doc.objects.add_xrecord(doc.rootdict.dxf.handle)
    xrecord.reset([(1, "points at a line"), (340, named.dxf.handle)])
    doc.rootdict["KELVARA_NOTE"] = xrecord
    sheet = doc.layouts.new("Sheet2")
    sheet.add_circle((1, 1), 0.5)
    sheet.add_circle((1, 1), 0.5)
    sheet.add_line((0, 0), (2, 2))


def refused(doc, outdir):
    """A drawing whose first duplicates are pointed at in ways the writer does not fix up: a
    line named by an XRECORD and a multi-line text that is a leader's annotation; and a mesh
    (compared by its content only) in a group. Their handles go to refused.handles, one
    "label handle" a line."""
    msp = doc.modelspace()
    named = msp.add_line((0, 5), (10, 5))
    msp.add_line((0, 5), (10, 5))
    xrecord = doc.objects.add_xrecord(doc.rootdict.dxf.handle)
    xrecord.reset([(1, "points at a line"), (340, named.dxf.handle)])
    doc.rootdict["KELVARA_NOTE"] = xrecord
    note = msp.add_mtext("Note", dxfattribs={"insert": (0, 0), "char_height": 1})
    msp.add_mtext("Note", dxfattribs={"insert": (0, 0), "char_height": 1})
    leader = msp.add_leader([(5, 5), (0, 0)])
    leader.dxf.annotation_handle = note.dxf.handle
    meshes = []
    for _ in range(2):
        mesh = msp.add_mesh()
        with mesh.edit_data() as data:
            data.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0)]
            data.faces = [(0, 1, 2)]
        meshes.append(mesh)
    doc.groups.new("MESHES").extend([meshes[0]])
    with open(os.path.join(outdir, "refused.handles"), "w") as f:
        f.write(f"xrecord {named.dxf.handle}\nleader {note.dxf.handle}\n")
        f.write(f"opaque {meshes[0].dxf.handle}\n")


def report(version, outdir):
    """A drawing for the design report: a pair of lines in colour 5 (with a lineweight and a
    true colour from R2000 on), a line of its own, a pair of circles, a pair of 2D polylines
    (vertices and SEQEND follow the head) and a pair of block references with an attribute;
    the first of each pair is the reported one."""
    doc = ezdxf.new(version)
    doc.layers.add("Walls", color=1)
    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (0, 3))
    door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
    msp = doc.modelspace()
    line = {"layer": "Walls", "color": 5}
    if version != "R12":
        line.update(lineweight=35, true_color=0x123456)
    for _ in range(2):
        msp.add_line((0, 0), (10, 0), dxfattribs=line)
    msp.add_line((0, 5), (10, 5), dxfattribs={"layer": "Walls"})
    for _ in range(2):
        msp.add_circle((5, 5), 2.5)
    for _ in range(2):
        msp.add_polyline2d([(20, 0), (30, 0), (30, 10)])
    for _ in range(2):
        msp.add_blockref("DOOR", (7, 8)).add_attrib("NUMBER", "D-17", (7, 8))
    doc.saveas(os.path.join(outdir, f"report_{version.lower()}.dxf"))


def main(outdir):
    for name, build in CASES.items():
        doc = ezdxf.new("R12" if name.endswith("_r12") else "R2018")
        if not name.endswith("_r12"):
            doc.header["$INSUNITS"] = 6
        doc.layers.add("Walls", color=1)
        door = doc.blocks.new("DOOR")
        door.add_line((0, 0), (0, 3))
        door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
        msp = doc.modelspace()
        build(msp)
        for e in msp:
            e.dxf.layer = "Walls"
        path = os.path.join(outdir, name + ".dxf")
        doc.saveas(path)
        if name in BREAK:
            with open(path) as f:
                text = f.read()
            with open(path, "w") as f:
                f.write(text.replace(*BREAK[name]))
    doc = ezdxf.new("R2018")
    door = doc.blocks.new("DOOR")
    door.add_line((0, 0), (0, 3))
    door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
    story(doc)
    doc.saveas(os.path.join(outdir, "story.dxf"))
    doc = ezdxf.new("R2018")
    refused(doc, outdir)
    doc.saveas(os.path.join(outdir, "refused.dxf"))
    for version in ("R12", "R2018"):
        report(version, outdir)


if __name__ == "__main__":
    main(sys.argv[1])
