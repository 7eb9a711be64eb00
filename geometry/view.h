#pragma once
#include <vector>

#include "base/vec3.h"

namespace koravel {

// An orthographic view: unit vectors to the right and up on the picture,
// and towards the viewer (Right × Up = Toward).
struct TView {
  TVec3 Right{1, 0, 0}, Up{0, 1, 0}, Toward{0, 0, 1};
};

// The view of a coordination sphere (`points`: the central atom, then the
// ligands) that shows it best: for three ligands along the normal of their
// plane, so that a planar centre looks planar and a pyramid shows its apex;
// otherwise along the direction, among a fine even grid of directions, that
// keeps every two atoms furthest apart on the picture (an octahedron seen
// along a three-fold axis, a square plane face on). The first ligand points
// to the right.
TView BestView(const std::vector<TVec3>& points);

// A point's place on the picture (x right, y up) and its depth (larger is
// nearer the viewer).
TVec3 InView(const TView& view, const TVec3& point);

}  // namespace koravel
