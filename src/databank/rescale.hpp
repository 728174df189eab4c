// Rescaling of valence populations per fragment.
//
// The fragments and their net charges come from vorn.inp:
//
//     NFRAG  2
//     FRAG   1  1 -12          fragment 1: atoms 1 to 12
//     FRAG   2  13 15 -20      fragment 2: atoms 13 and 15 to 20
//     CHFRAG -1. 1.            net charges of fragments 1, 2, ...
//
// Without fragments all atoms form fragment 1; without CHFRAG each net charge
// is asked for on the terminal.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Scales run.mpoles[1..nat].pv of each fragment (difference, fraction or
// sigma method, run.ctl.iscale) so that it sums to the valence electrons of
// the free atoms minus the fragment's net charge.
void rescalePv(Run& run);

}  // namespace vorn
