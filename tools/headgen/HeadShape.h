#pragma once
// The generic head as an implicit solid in model units (y up, face towards -z): negative inside.
// Built from smoothly blended ellipsoids and capsules, mirror-symmetric in x.
#include "Geometry.h"

namespace vm::headgen {

// Signed-distance-like value: < 0 inside the head, > 0 outside.
double HeadField(const D3& p);

// The left ear's frame: its centre, and the model point at (a up along the ear, b backwards
// across it, c out of its plane) from there.
D3 EarCentre();
D3 EarToModel(double a, double b, double c);

// Centre from which the skull, neck and ears are reached by rays.
D3 HeadCentre();

// The first surface point met walking from outside towards inside.
D3 SurfaceBetween(const D3& outside, const D3& inside);
// The outermost surface point on the ray from the head centre in direction dir.
D3 SurfaceAlongRay(const D3& dir);
// The front-most surface point seen from -z at (x, y) (face, nose, lips).
D3 SurfaceFromFront(double x, double y);
// The outer surface point seen from the side at (y, z), on the side of x = sideSign.
D3 SurfaceFromSide(double y, double z, double sideSign);
// The lowest surface point seen from below at (x, z) (under the chin).
D3 SurfaceFromBelow(double x, double z);

} // namespace vm::headgen
