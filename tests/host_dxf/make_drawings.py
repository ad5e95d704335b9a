"""Writes R12 and R2018 test drawings with ezdxf, each with a JSON of what was written.

usage: /usr/bin/python3 make_drawings.py OUTDIR
Makes OUTDIR/r12.dxf, OUTDIR/r2018.dxf and a .json next to each.
"""
import collections
import json
import os
import sys

import ezdxf
from ezdxf.entities.boundary_paths import EdgeType
from ezdxf.math import OCS
from ezdxf.lldxf.tagger import ascii_tags_loader


# Texts as written and as the reader gives them: (raw, plain text, formatting).
TEXTS = [
    ("Gr\u00f6\u00dfe %%c5 %%P0.1 100%%% %%uU%%u\\P \\U+2713",
     "Gr\u00f6\u00dfe \u23005 \u00b10.1 100% U\\P \u2713", "@24%%u@25%%u"),
    ("\u041f\u0440\u0438\u0432\u0435\u0442 %%d \\U+2713",
     "\u041f\u0440\u0438\u0432\u0435\u0442 \u00b0 \u2713", ""),
    ("%%c12", "\u230012", ""),
    ("%%p1", "\u00b11", ""),
]
# An MTEXT longer than one 250-character chunk with inline formatting.
MTEXT = ("{\\fArial|b1;Bold} x\\P\\H2.5x;\\S1^2;\\~a\\\\b\\{c\\} \\C1;" + "n" * 600 +
         "\\M+18140%%d")
MTEXT_PLAIN = "Bold x\n1/2\u00a0a\\b{c} " + "n" * 600 + "\u3000\u00b0"
MTEXT_FORMAT = "@0{@0\\fArial|b1;@4}@7\\H2.5x;@7\\S1^2;@19\\C1;"
PLAIN = {raw: (plain, fmt) for raw, plain, fmt in TEXTS}
PLAIN[MTEXT] = (MTEXT_PLAIN, MTEXT_FORMAT)


def build(version):
    doc = ezdxf.new(version, setup=True)
    if version == "R12":
        doc.encoding = "cp1251"
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
    add_more(doc, msp, version)
    return doc


def add_more(doc, msp, version):
    """One or two of each of the types decoded beyond lines, arcs, texts and inserts."""
    msp.add_text(TEXTS[0 if version != "R12" else 1][0],
                 dxfattribs={"halign": 2, "valign": 3, "align_point": (4, 5), "insert": (4, 5)})
    msp.add_attdef("SIZE", (1, 1), "%%c12", dxfattribs={
        "prompt": "Size?", "flags": 4 | 8, "halign": 1, "valign": 2, "align_point": (3, 1),
        "extrusion": (0, 0, -1)})
    ref = msp.add_blockref("DOOR", (20, 20))
    ref.add_attrib("NUMBER", "%%p1", (21, 22), dxfattribs={
        "flags": 1, "halign": 2, "valign": 1, "align_point": (23, 22), "color": 5, "width": 0.8})
    msp.add_solid([(0, 0), (4, 0), (0, 3), (4, 3)], dxfattribs={"extrusion": (0, 0, -1)})
    msp.add_solid([(0, 0, 2), (4, 0, 2), (2, 3, 2)])
    msp.add_trace([(1, 1), (5, 1), (1, 2), (5, 2)])
    msp.add_3dface([(0, 0, 0), (1, 0, 1), (1, 1, 2), (0, 1, 3)],
                   dxfattribs={"invisible": 2 | 8})
    msp.add_3dface([(0, 0, 0), (1, 0, 1), (1, 1, 2)])
    dim = msp.add_linear_dim(base=(0, 5), p1=(0, 0), p2=(10, 0), angle=0, text="Span <>")
    dim.render()
    if version == "R12":
        return
    dim = msp.add_radius_dim(center=(20, 0), radius=3, angle=45, dxfattribs={
        "extrusion": (0, 0, -1)})
    dim.render()
    msp.add_ellipse((1, 2, 3), (4, 0, 0), 0.5)
    msp.add_ellipse((5, 5), (0, 2, 1), 0.25, 0.5, 2.5)
    msp.add_spline([(0, 0), (1, 2), (3, 1), (5, 4)]).set_closed  # fit points only
    rational = msp.add_rational_spline([(0, 0, 1), (1, 2, 1), (3, 1, 1), (5, 4, 1)], [1, 2, 2, 1])
    rational.dxf.start_tangent = (1, 0, 0)
    rational.dxf.end_tangent = (0, 1, 0)
    msp.add_mtext(MTEXT, dxfattribs={"char_height": 1.5, "width": 40, "attachment_point": 5,
                                      "insert": (3, 4, 5), "rotation": 30})
    msp.add_mtext("Across", dxfattribs={"text_direction": (0, 1, 0)})
    mline = msp.add_mline([(0, 0), (10, 0), (10, 5)], close=True)
    mline.dxf.scale_factor = 2
    mline.dxf.justification = 1
    solid = msp.add_hatch(color=3, dxfattribs={"elevation": (0, 0, 2), "extrusion": (0, 0, -1)})
    solid.paths.add_polyline_path([(0, 0, 0.5), (4, 0, 0), (4, 4, -1), (0, 4, 0)], is_closed=True,
                                  flags=1)
    solid.paths.add_polyline_path([(1, 1), (2, 1), (2, 2)], is_closed=True, flags=16)
    pattern = msp.add_hatch()
    pattern.set_pattern_fill("ANSI31", scale=0.5)
    edges = pattern.paths.add_edge_path(flags=1)
    edges.add_line((0, 0), (10, 0))
    edges.add_arc((10, 5), 5, -90, 90)
    edges.add_ellipse((5, 10), (5, 0), 0.5, 0, 180, ccw=True)
    edges.add_spline(control_points=[(0, 10), (-2, 7), (-2, 3), (0, 0)],
                     knot_values=[0, 0, 0, 0, 1, 1, 1, 1], weights=[1, 2, 2, 1],
                     fit_points=[(0, 10), (0, 0)], start_tangent=(-1, 0), end_tangent=(1, 0))
    square = msp.add_lwpolyline([(20, 0), (24, 0), (24, 4), (20, 4)], close=True)
    linked = msp.add_hatch()
    linked.paths.add_polyline_path(square.get_points("xy"), is_closed=True, flags=1)
    linked.associate(linked.paths[0], [square])


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
    ocs = OCS(e.dxf.get("extrusion", (0, 0, 1)) if e.dxf.is_supported("extrusion") else (0, 0, 1))

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
        if e.dxf.hasattr("align_point"):
            d["vertices"].append(world(e.dxf.align_point) + [0.0])
        plain, fmt = PLAIN.get(e.dxf.text, (e.dxf.text, ""))
        d.update(height=e.dxf.height, rotation=e.dxf.rotation, text=plain)
        d["extra"] = {"formatting": fmt, "halign": e.dxf.halign, "valign": e.dxf.valign}
    elif t == "INSERT":
        d["vertices"] = [world(e.dxf.insert) + [0.0]]
        d.update(block=e.dxf.name, rotation=e.dxf.rotation,
                 scale=[e.dxf.xscale, e.dxf.yscale, e.dxf.zscale],
                 attribs=[[a.dxf.tag, PLAIN.get(a.dxf.text, (a.dxf.text,))[0]] for a in e.attribs])
        d["extra"] = {"attribs": [
            [a.dxf.flags, a.dxf.halign, a.dxf.valign, point(a.dxf.insert), point(a.dxf.get(
                "align_point", (0, 0, 0))), a.dxf.height, a.dxf.rotation, int(a.dxf.handle, 16),
            a.dxf.layer, a.dxf.color, a.dxf.width] for a in e.attribs]}
    else:
        describe_more(e, d, world)
    return d


SUBCLASSES = ["AcDbRotatedDimension", "AcDbAlignedDimension", "AcDb2LineAngularDimension",
              "AcDbDiametricDimension", "AcDbRadialDimension", "AcDb3PointAngularDimension",
              "AcDbOrdinateDimension"]


def describe_more(e, d, world):
    """The fields of the types in add_more, as ezdxf reads them back."""
    t = e.dxftype()

    def corners(points):
        return [point(p) + [0.0] for p in points]

    if t in ("SOLID", "TRACE"):
        d.update(vertices=corners(e.wcs_vertices()), closed=True)
        d["extra"] = {}
    elif t == "3DFACE":
        v = list(e.wcs_vertices())
        d.update(vertices=corners(v[:3] if len(v) == 4 and v[3].isclose(v[2]) else v), closed=True)
        d["extra"] = {"edges": e.dxf.invisible}
    elif t == "ATTDEF":
        d["vertices"] = [world(e.dxf.insert) + [0.0], world(e.dxf.align_point) + [0.0]]
        d.update(height=e.dxf.height, text=PLAIN[e.dxf.text][0])
        d["extra"] = {"tag": e.dxf.tag, "prompt": e.dxf.prompt, "flags": e.dxf.flags,
                      "halign": e.dxf.halign, "valign": e.dxf.valign}
    elif t == "DIMENSION":
        codes = {"10": "defpoint", "11": "text_midpoint", "12": "insert", "13": "defpoint2",
                 "14": "defpoint3", "15": "defpoint4", "16": "defpoint5"}
        ocs = ("11", "12", "16")
        points = {c: (world if c in ocs else point)(e.dxf.get(n)) for c, n in codes.items()
                  if e.dxf.hasattr(n)}
        d.update(text=e.dxf.text.replace("<>", "<>"), block=e.dxf.geometry,
                 rotation=e.dxf.get("angle", 0.0))
        d["extra"] = {"kind": e.dxf.dimtype & 7, "subclass": SUBCLASSES[e.dxf.dimtype & 7],
                      "dimstyle": e.dxf.dimstyle, "points": points,
                      "measurement": e.dxf.get("actual_measurement")}
    elif t == "ELLIPSE":
        d["vertices"] = [point(e.dxf.center) + [0.0]]
        d["extra"] = {"major": point(e.dxf.major_axis), "ratio": e.dxf.ratio,
                      "start": e.dxf.start_param, "end": e.dxf.end_param}
    elif t == "SPLINE":
        d.update(vertices=corners(e.control_points), closed=e.closed)
        d["extra"] = spline(e.dxf.flags, e.dxf.degree, e.knots, e.weights, e.control_points,
                            e.fit_points, e.dxf.get("start_tangent"), e.dxf.get("end_tangent"))
    elif t == "MTEXT":
        plain, fmt = PLAIN.get(e.text, (e.text, ""))
        d.update(vertices=[point(e.dxf.insert) + [0.0]], text=plain, height=e.dxf.char_height,
                 rotation=e.get_rotation())
        d["extra"] = {"formatting": fmt, "attachment": e.dxf.attachment_point,
                      "box_width": e.dxf.get("width", 0.0)}
    elif t == "MLINE":
        d.update(vertices=corners(v.location for v in e.vertices), closed=e.is_closed)
        d["extra"] = {"style": e.dxf.style_name, "scale": e.dxf.scale_factor,
                      "justification": e.dxf.justification, "flags": e.dxf.flags,
                      "directions": [point(v.line_direction) for v in e.vertices],
                      "miters": [point(v.miter_direction) for v in e.vertices],
                      "parameters": [[list(p) for p in v.line_params] for v in e.vertices]}
    elif t == "HATCH":
        d["extra"] = {"pattern": e.dxf.pattern_name, "solid": bool(e.dxf.solid_fill),
                      "associative": bool(e.dxf.associative),
                      "loops": [loop(p, e.dxf.elevation.z, world) for p in e.paths]}


def spline(flags, degree, knots, weights, control, fit, start, end):
    return {"flags": flags, "degree": degree, "knots": list(knots), "weights": list(weights),
            "control": [point(p) for p in control], "fit": [point(p) for p in fit],
            "start_tangent": point(start) if start is not None else None,
            "end_tangent": point(end) if end is not None else None}


def loop(path, elevation, world):
    out = {"flags": path.path_type_flags, "sources": list(path.source_boundary_objects),
           "vertices": [], "edges": []}
    if hasattr(path, "vertices"):
        out["vertices"] = [world((x, y, elevation)) + [b] for x, y, b in path.vertices]
        out["closed"] = bool(path.is_closed)
        return out
    out["closed"] = False

    def at(p):
        return world((p[0], p[1], elevation))

    def axis(p):
        return world((p[0], p[1], 0))

    for edge in path.edges:
        if edge.type == EdgeType.LINE:
            out["edges"].append({"type": 1, "start": at(edge.start), "end": at(edge.end)})
        elif edge.type == EdgeType.ARC:
            out["edges"].append({"type": 2, "centre": at(edge.center), "radius": edge.radius,
                                 "angles": [edge.start_angle, edge.end_angle], "ccw": edge.ccw})
        elif edge.type == EdgeType.ELLIPSE:
            out["edges"].append({"type": 3, "centre": at(edge.center),
                                 "major": axis(edge.major_axis), "ratio": edge.ratio,
                                 "angles": [edge.start_angle, edge.end_angle], "ccw": edge.ccw})
        else:
            s = spline((4 if edge.rational else 0) | (2 if edge.periodic else 0), edge.degree,
                       edge.knot_values, edge.weights, [at(p) for p in edge.control_points],
                       [at(p) for p in edge.fit_points],
                       axis(edge.start_tangent) if edge.start_tangent else None,
                       axis(edge.end_tangent) if edge.end_tangent else None)
            s["type"] = 4
            out["edges"].append(s)
    return out


def block_names(path):
    """BLOCK names as the file spells them (ezdxf renames R12's $MODEL_SPACE on loading)."""
    names, in_block = [], False
    with open(path, encoding="utf-8", errors="replace") as f:
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
