// Where the radial functions of an atom come from: the wavefunction tables
// its SCAT line of the XD master file names (core, spherical valence,
// deformation) and the orbital occupancies of that line.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/run.hpp"

namespace vorn {

struct ScatteringSource {
  std::string core = "CHFW";               // wavefunction table of the core density
  std::string valence = "CHFW";            // of the spherical valence density
  std::string deformation = "CSZD";        // of the deformation radial functions
  std::array<int, 18> occupancy{};         // SCAT order 1S 2S 3S 4S 2P 3P ...; core > 0, valence < 0
  bool known = false;                      // the occupancies are those of a SCAT line
};

// The source of each scattering table 1..nsft: for XD input the SCAT lines
// of the input master file, else the line VORN writes for the element of
// the atoms of that table. Entry 0 unused.
std::vector<ScatteringSource> scattering_sources(Run& run);

// The electron configuration of a SCAT line as text, orbitals in order of
// shell and then angular momentum: "core 1s2; valence 2s2 2p2".
std::string configuration_text(const std::array<int, 18>& occupancy);

// Electrons of the core (the positive occupancies).
int core_electrons(const std::array<int, 18>& occupancy);

}  // namespace vorn
