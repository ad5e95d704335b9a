"""Writes one R2018 DXF drawing per duplicate case with ezdxf: a pair of entities that are
duplicates of each other (or, for the reversed line, the same line drawn the other way) on layer
"Walls", and one entity that is not a duplicate of anything.

usage: /usr/bin/python3 make_dxf_cases.py OUTDIR
Makes OUTDIR/<case>.dxf for every case below.
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


def case_insert(msp):
    for x, number in ((7, "D-17"), (7, "D-17"), (20, "D-18")):
        ref = msp.add_blockref("DOOR", (x, 8))
        ref.add_attrib("NUMBER", number, (x, 8))


CASES = {name[5:]: f for name, f in globals().items() if name.startswith("case_")}


def main(outdir):
    for name, build in CASES.items():
        doc = ezdxf.new("R2018")
        doc.header["$INSUNITS"] = 6
        doc.layers.add("Walls", color=1)
        door = doc.blocks.new("DOOR")
        door.add_line((0, 0), (0, 3))
        door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
        msp = doc.modelspace()
        build(msp)
        for e in msp:
            e.dxf.layer = "Walls"
        doc.saveas(os.path.join(outdir, name + ".dxf"))


if __name__ == "__main__":
    main(sys.argv[1])
