"""Writes R12 and R2018 test drawings with ezdxf, each with a JSON of what was written.

usage: /usr/bin/python3 make_drawings.py OUTDIR
Makes OUTDIR/r12.dxf, OUTDIR/r2018.dxf and a .json next to each.
"""
import collections
import json
import os
import sys

import ezdxf
from ezdxf.math import OCS
from ezdxf.lldxf.tagger import ascii_tags_loader


def build(version):
    doc = ezdxf.new(version, setup=True)
    doc.header["$INSUNITS"] = 4
    doc.header["$MEASUREMENT"] = 1
    doc.header["$EXTMIN"] = (-1.5, -2.25, 0)
    doc.header["$EXTMAX"] = (100.125, 200.5, 3)
    doc.layers.add("Walls", color=1, linetype="DASHED", lineweight=35)
    doc.layers.add("Off", color=3).off()
    doc.layers.add("Frozen", color=4).freeze()
    door = doc.blocks.new("DOOR", base_point=(1, 2))
    door.add_line((0, 0), (0, 3))
    door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
    msp = doc.modelspace()
    line = {"layer": "Walls", "color": 5, "linetype": "CENTER"}
    if version != "R12":
        line.update(lineweight=35, true_color=0x123456)
    msp.add_line((0, 0, 0), (10, 5, 0.25), dxfattribs=line)
    twin = msp.add_line((0, 0), (10, 5))
    doc.appids.new("KELVARA")
    twin.set_xdata("KELVARA", [(1000, "twin"), (1040, 2.5)])
    if version != "R12":
        twin.new_extension_dict()
    msp.add_point((1, 2, 3), dxfattribs={"color": 0})
    msp.add_circle((5, 5), 2.5, dxfattribs={"layer": "Off"})
    msp.add_arc((1, 1), 3, 30, 120.5)
    msp.add_polyline2d([(0, 0, 0, 0, 0.5), (3, 0, 0, 0, 0), (3, 3, 0, 0, -1)],
                       format="xyseb", close=True)
    msp.add_polyline3d([(0, 0, 1), (1, 2, 3), (4, 5, 6)])
    msp.add_text("Hello, world", dxfattribs={"height": 2.5, "rotation": 30, "insert": (2, 3),
                                             "style": "OpenSans", "layer": "Frozen"})
    ref = msp.add_blockref("DOOR", (7, 8), dxfattribs={"xscale": 2, "yscale": 3, "rotation": 45})
    ref.add_attrib("NUMBER", "D-17", (7, 8))
    ref.add_attrib("WIDTH", "900", (7, 9))
    # Mirrored and tilted object coordinate systems.
    msp.add_circle((5, 6, 1), 1, dxfattribs={"extrusion": (0, 0, -1)})
    msp.add_arc((2, 3, 4), 1.5, 10, 80, dxfattribs={"extrusion": (0, 1, 0)})
    msp.add_blockref("DOOR", (3, 4), dxfattribs={"extrusion": (0, 0, -1)})
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.25), (5, 0, 0, 0, 0), (5, 5, 0, 0, -1)],
                           format="xyseb", close=True,
                           dxfattribs={"elevation": 1.5, "lineweight": 211})
        msp.add_lwpolyline([(1, 1), (2, 1)], dxfattribs={"linetype": "BYBLOCK"})
        msp.add_lwpolyline([(1, 2), (3, 4)], dxfattribs={"elevation": 2, "extrusion": (0, 0, -1)})
        doc.layouts.new("Sheet2").add_circle((1, 1), 0.5)
    doc.layout("Layout1").add_line((0, 0), (1, 1))
    return doc


def point(p):
    return [float(p[0]), float(p[1]), float(p[2]) if len(p) > 2 else 0.0]


def describe(e, layout, r12):
    xdata = sum(1 + len(e.get_xdata(app)) for app in e.xdata.data) if e.xdata else 0
    xdict = e.get_extension_dict().dictionary.dxf.handle if e.has_extension_dict else ""
    d = {"handle": e.dxf.handle, "type": e.dxftype(), "layout": layout,
         "owner": "0" if r12 else e.dxf.owner, "xdata": xdata, "xdict": xdict,
         "layer": e.dxf.layer, "colour": e.dxf.get("color", 256),
         "lineweight": e.dxf.get("lineweight", -1), "linetype": e.dxf.get("linetype", "BYLAYER"),
         "true_colour": e.dxf.get("true_color", -1), "vertices": [], "radius": 0.0,
         "start": 0.0, "end": 0.0, "height": 0.0, "rotation": 0.0, "text": "", "block": "",
         "scale": [1.0, 1.0, 1.0], "attribs": [], "closed": False}
    t = e.dxftype()
    ocs = OCS(e.dxf.get("extrusion", (0, 0, 1)))

    def world(p):
        return list(ocs.to_wcs(point(p)))

    if t == "LINE":
        d["vertices"] = [point(e.dxf.start) + [0.0], point(e.dxf.end) + [0.0]]
    elif t in ("POINT", "CIRCLE", "ARC"):
        d["vertices"] = [point(e.dxf.location) if t == "POINT" else world(e.dxf.center)]
        d["vertices"][0].append(0.0)
        if t != "POINT":
            d["radius"] = e.dxf.radius
        if t == "ARC":
            d["start"], d["end"] = e.dxf.start_angle, e.dxf.end_angle
    elif t == "LWPOLYLINE":
        z = e.dxf.get("elevation", 0.0)
        d["vertices"] = [world((x, y, z)) + [b] for x, y, _, _, b in e.get_points("xyseb")]
        d["closed"] = e.closed
    elif t == "POLYLINE":
        place = world if e.is_2d_polyline else point
        d["vertices"] = [place(v.dxf.location) + [v.dxf.get("bulge", 0.0)] for v in e.vertices]
        d["closed"] = e.is_closed
    elif t == "TEXT":
        d["vertices"] = [world(e.dxf.insert) + [0.0]]
        d.update(height=e.dxf.height, rotation=e.dxf.rotation, text=e.dxf.text)
    elif t == "INSERT":
        d["vertices"] = [world(e.dxf.insert) + [0.0]]
        d.update(block=e.dxf.name, rotation=e.dxf.rotation,
                 scale=[e.dxf.xscale, e.dxf.yscale, e.dxf.zscale],
                 attribs=[[a.dxf.tag, a.dxf.text] for a in e.attribs])
    return d


def block_names(path):
    """BLOCK names as the file spells them (ezdxf renames R12's $MODEL_SPACE on loading)."""
    names, in_block = [], False
    with open(path) as f:
        for code, value in ascii_tags_loader(f):
            if code == 0:
                in_block = value == "BLOCK"
            elif code == 2 and in_block:
                names.append(value)
                in_block = False
    return names


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, version in (("r12", "R12"), ("r2018", "R2018")):
        doc = build(version)
        path = os.path.join(out, name + ".dxf")
        doc.saveas(path)
        doc = ezdxf.readfile(path)  # what the file holds, as ezdxf reads it back
        names = doc.layouts.names_in_taborder()
        entities, counts = [], collections.Counter()
        for layout in names:
            space = doc.layout(layout)
            for e in space:
                entities.append(describe(e, layout, version == "R12"))
            if layout == "Model" or space.is_active_paperspace:
                counts.update(e.dxftype() for e in space)
        layers = [{"name": l.dxf.name, "colour": abs(l.color), "on": l.is_on(),
                   "frozen": l.is_frozen(), "linetype": l.dxf.linetype,
                   "lineweight": l.dxf.get("lineweight", -3)} for l in doc.layers]
        expected = {"version": doc.dxfversion, "insunits": doc.header.get("$INSUNITS", 0),
                    "measurement": doc.header.get("$MEASUREMENT", 0),
                    "extmin": point(doc.header["$EXTMIN"]), "extmax": point(doc.header["$EXTMAX"]),
                    "layouts": names, "counts": counts, "entities": entities, "layers": layers,
                    "blocks": block_names(path),
                    "linetypes": [t.dxf.name for t in doc.linetypes],
                    "styles": [t.dxf.name for t in doc.styles],
                    "block_records": [] if version == "R12" else
                    [t.dxf.name for t in doc.block_records]}
        with open(os.path.join(out, name + ".json"), "w") as f:
            json.dump(expected, f, indent=1)


if __name__ == "__main__":
    main(sys.argv[1])
