"""Writes R12 and R2018 drawings for deletion tests, with every entity type and every kind of
pointer other records hold at an entity, and a JSON of label -> handle next to each.

usage: /usr/bin/python3 make_deletions.py OUTDIR
Makes OUTDIR/del_r12.dxf, OUTDIR/del_r2018.dxf and a .json next to each.
"""
import json
import os
import sys

import ezdxf
from ezdxf.acis import api as acis
from ezdxf.render import forms


def build(version):
    doc = ezdxf.new(version, setup=True)
    doc.header["$INSUNITS"] = 4
    msp = doc.modelspace()
    door = doc.blocks.new("DOOR", base_point=(1, 2))
    e = {"block_line": door.add_line((0, 0), (0, 3))}
    door.add_attdef("NUMBER", (0, 0), dxfattribs={"height": 0.5})
    e["line"] = msp.add_line((0, 0), (10, 5), dxfattribs={"layer": "0"})
    e["point"] = msp.add_point((1, 2, 3))
    e["circle"] = msp.add_circle((5, 5), 2.5)
    e["arc"] = msp.add_arc((1, 1), 3, 30, 120.5)
    e["polyline2d"] = msp.add_polyline2d([(0, 0, 0, 0, 0.5), (3, 0, 0, 0, 0), (3, 3)],
                                         format="xyseb", close=True)
    e["polyline3d"] = msp.add_polyline3d([(0, 0, 1), (1, 2, 3), (4, 5, 6)])
    e["polyface"] = msp.add_polyface()
    e["polyface"].append_face([(0, 0, 0), (1, 0, 0), (1, 1, 0)])
    e["text"] = msp.add_text("Hello", dxfattribs={"height": 2.5, "insert": (2, 3)})
    e["insert_attribs"] = msp.add_blockref("DOOR", (7, 8))
    e["insert_attribs"].add_attrib("NUMBER", "D-17", (7, 8))
    e["insert"] = msp.add_blockref("DOOR", (3, 4))
    e["solid"] = msp.add_solid([(0, 0), (1, 0), (0, 1)])
    e["trace"] = msp.add_trace([(0, 0), (1, 0), (0, 1), (1, 1)])
    e["face3d"] = msp.add_3dface([(0, 0, 0), (1, 0, 0), (1, 1, 1)])
    e["dimension"] = msp.add_linear_dim(base=(0, 3), p1=(0, 0), p2=(4, 0)).render().dimension
    e["paper_line"] = doc.layout("Layout1").add_line((0, 0), (1, 1))
    e["xdata_line"] = msp.add_line((2, 0), (3, 5))
    doc.appids.new("KELVARA")
    e["xdata_line"].set_xdata("KELVARA", [(1000, "twin"), (1040, 2.5)])
    if version == "R12":
        return doc, e
    e["lwpolyline"] = msp.add_lwpolyline([(0, 0, 0, 0, 0.25), (5, 0), (5, 5)], format="xyseb")
    e["ellipse"] = msp.add_ellipse((0, 0), major_axis=(3, 0), ratio=0.5)
    e["mtext"] = msp.add_mtext("Line one\\PLine two")
    e["spline"] = msp.add_spline([(0, 0), (1, 2), (3, 1), (4, 4)])
    e["mline"] = msp.add_mline([(0, 0), (5, 0), (5, 5)])
    e["mesh"] = msp.add_mesh()
    with e["mesh"].edit_data() as m:
        m.vertices = [(0, 0, 0), (1, 0, 0), (1, 1, 0)]
        m.faces = [(0, 1, 2)]
    e["hatch_solid"] = msp.add_hatch(color=3)
    e["hatch_solid"].paths.add_polyline_path([(10, 10), (12, 10), (12, 12)])
    e["sheet2_circle"] = doc.layouts.new("Sheet2").add_circle((1, 1), 0.5)
    # Pointers at entities that a deletion fixes up.
    e["group_member"] = msp.add_line((20, 0), (21, 1))
    e["group_other"] = msp.add_line((20, 1), (21, 2))
    doc.groups.new("PAIR").extend([e["group_member"], e["group_other"]])
    e["sorted"] = msp.add_circle((30, 0), 1)
    e["sorted_other"] = msp.add_circle((30, 3), 1)
    msp.set_redraw_order({e["sorted"].dxf.handle: "FFF0", e["sorted_other"].dxf.handle: "FFF1"})
    e["boundary"] = msp.add_lwpolyline([(40, 0), (44, 0), (44, 4)], close=True)
    e["hatch_assoc"] = msp.add_hatch(color=2)
    path = e["hatch_assoc"].paths.add_polyline_path([(40, 0), (44, 0), (44, 4)], is_closed=True)
    e["hatch_assoc"].associate(path, [e["boundary"]])
    e["boundary_a"] = msp.add_lwpolyline([(50, 0), (54, 0), (54, 4)], close=True)
    e["boundary_b"] = msp.add_lwpolyline([(51, 1), (53, 1), (53, 3)], close=True)
    e["hatch_two"] = msp.add_hatch(color=4)
    outer = e["hatch_two"].paths.add_polyline_path([(50, 0), (54, 0), (54, 4)], is_closed=True)
    inner = e["hatch_two"].paths.add_polyline_path([(51, 1), (53, 1), (53, 3)], is_closed=True)
    e["hatch_two"].associate(outer, [e["boundary_a"]])
    e["hatch_two"].associate(inner, [e["boundary_b"]])
    imagedef = doc.add_image_def(filename="photo.png", size_in_pixel=(64, 64))
    e["image"] = msp.add_image(imagedef, insert=(60, 0), size_in_units=(4, 4))
    e["xdict_line"] = msp.add_line((70, 0), (71, 1))
    e["xdict_line"].new_extension_dict().add_xrecord("NOTE")
    e["solid3d"] = msp.add_3dsolid()
    acis.export_dxf(e["solid3d"], [acis.body_from_mesh(forms.cube())])
    # Pointers that are not fixed up: the entity is refused.
    e["leader_note"] = msp.add_mtext("See here", dxfattribs={"insert": (80, 5)})
    e["leader"] = msp.add_leader([(80, 0), (80, 5)])
    e["leader"].dxf.annotation_handle = e["leader_note"].dxf.handle
    e["xdata_target"] = msp.add_line((90, 0), (91, 1))
    e["xdata_pointer"] = msp.add_line((90, 1), (91, 2))
    e["xdata_pointer"].set_xdata("KELVARA", [(1005, e["xdata_target"].dxf.handle)])
    e["leader_pointer"] = msp.add_line((80, 1), (81, 2))
    e["leader_pointer"].set_xdata("KELVARA", [(1005, e["leader"].dxf.handle)])
    return doc, e


def main(out):
    os.makedirs(out, exist_ok=True)
    for name, version in (("del_r12", "R12"), ("del_r2018", "R2018")):
        doc, entities = build(version)
        path = os.path.join(out, name + ".dxf")
        doc.saveas(path)
        with open(os.path.join(out, name + ".json"), "w") as f:
            json.dump({k: v.dxf.handle for k, v in entities.items()}, f, indent=1)


if __name__ == "__main__":
    main(sys.argv[1])
