// Dummy atoms and the geometry of axes.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "model/run.hpp"

namespace vorn {

// Adds a dummy at the point (mode 0 Cartesian, 1 fractional) or reuses the
// first one within 0.1 A; returns its number and its Cartesian position.
// Dummies are stored fractional when the structure has fractional
// coordinates (run.ctl.ifrac), else Cartesian.
int adddummyatom(Run& run, int mode, const Vec3& point, Vec3& cart);
// The first dummy within tol angstroms of a Cartesian point, 0 when none.
int dummy_at(const Run& run, const Vec3& cart_point, float tol);
// A new dummy at a point as the list stores it (fractional when the
// structure has fractional coordinates); returns its number.
int append_dummy(Run& run, const Vec3& stored);
// Label of the dummy whose number equals the current count ("DUM"n, 6
// characters); stops beyond MAXDUM.
void DummyLab(Run& run);
// Replaces symmetry-generated axis atoms of run.axes by new dummies (at most
// one replacement per axis).
void checksymeq(Run& run);
Vec3 midpoint(const Vec3& a, const Vec3& b);
// Angle at b, degrees; 0 when a or c coincides with b.
float calcang(const Vec3& a, const Vec3& b, const Vec3& c);
void prtang(Run& run, std::ostream& os, int a, int b, int c, float angle);
// The atom and the tips of its local axes (run.axes) into the drawing file.
void loc2plat(Run& run, int atom);
// The three tips 0.2 A from the origin along the axes; a zero-length axis
// gives the origin itself.
std::array<Vec3, 3> getdummy(const Vec3& origin, const std::array<Vec3, 3>& axes);
// The atom index as text without blanks (12 gives "12").
std::string getdummylabel(int atom);

}  // namespace vorn
