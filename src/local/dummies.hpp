// Dummy atoms and the geometry of axes.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "control/run.hpp"

namespace vorn {

// Adds a dummy at the point (mode 0 Cartesian, 1 fractional) or reuses one
// within 0.1 A; returns its number and its Cartesian position.
int adddummyatom(Run& run, int mode, const Vec3& point, Vec3& cart);
// Label of the dummy whose number equals the current count.
void DummyLab(Run& run);
// Replaces symmetry-generated axis atoms of run.axes by dummies.
void checksymeq(Run& run);
Vec3 midpoint(const Vec3& a, const Vec3& b);
// Angle at b, degrees.
float calcang(const Vec3& a, const Vec3& b, const Vec3& c);
void prtang(Run& run, std::ostream& os, int a, int b, int c, float angle);
// The atom and the tips of its local axes into the drawing file.
void loc2plat(Run& run, int atom);
std::array<Vec3, 3> getdummy(const Vec3& origin, const std::array<Vec3, 3>& axes);
std::string getdummylabel(int atom);

}  // namespace vorn
