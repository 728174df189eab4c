// Which multipoles a site symmetry lets XD refine: the part of a key line
// after the displacement flags, by site-symmetry name.
#pragma once

#include <string_view>
#include <utility>

namespace vorn {

// The 30-character flags "M- -D- --Q-- ---O--- ----H----" of a site
// symmetry (compared as a 5-character text), or an empty view for a name
// the table lacks. Within a group the flags follow XD's order of the real
// spherical harmonics: dipoles 11+, 11-, 10; then l0, l1+, l1-, l2+, l2-, ...
//
// A name stands for its group in one orientation of the local frame: the
// highest-order axis along Z; "m" has its normal along Z; mirrors and
// 2-fold axes of "mm2", "222", "mmm", "4mm", "422", "4/mmm" lie along X and
// Y (for "-42m" the mirror normals, its 2-fold axes on the diagonals); the
// trigonal and hexagonal groups have a mirror plane through X ("3m",
// "-3m", "6mm", "-6m2", "6/mmm") or a 2-fold axis along X ("32", "622");
// the cubic groups their 2-fold or 4-fold axes along X, Y and Z; "cyl" is
// the cylinder about Z, "cyl/m" the cylinder with a mirror across it.
std::string_view key_mask(std::string_view sitesym);

// Flag k (0..24) of the 25 multipole flags (the monopole, then the flags of
// the mask with the valence-population flag and blanks left out): the
// harmonic as XD names it ("M0", "D11+", ..., "H44-"), and its (l, m) with
// m > 0 for the cosine and m < 0 for the sine harmonic.
std::string_view key_flag_name(int k);
std::pair<int, int> key_flag_lm(int k);
// Whether flag k of a mask is on.
bool key_flag(std::string_view mask, int k);

}  // namespace vorn
