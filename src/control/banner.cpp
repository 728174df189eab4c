#include "control/databank_location.hpp"
#include "control/run_sequence.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

void print_banner(std::ostream& os) {
  static constexpr const ff::Format& rule_eq = "(1x,71('='))"_f;
  ff::write(os, "(a)"_f);
  ff::write(os, rule_eq);
  ff::write(os, "('   PROGRAM  V O R N  -  AUTOMATIC SETUP OF THE LOCAL COORDINATE SYSTEM')"_f);
  ff::write(os, rule_eq);
  ff::write(os, "(' Program determines the local coordinate system for each atom based on')"_f);
  ff::write(os, "(16x,'connectivity and geometrical parameters')"_f);
  ff::write(os, "(' In addition it provides an interface to KESTRAL LAB pseudoatom databank')"_f);
  ff::write(os, "(' Sample VORN input file (vorn.inp) can be printed out with : vorn -h')"_f);
  ff::write(os, "(1x,71('-'))"_f);
  ff::write(os, rule_eq);
}

void print_sample_input(std::ostream& os) {
  static const char* const kLines[] = {
      " ",
      "!",
      "! Example of VORN input file (vorn.inp) : ",
      "!",
      "FORMAT  *shelx xd aim2tab platon ",
      "! for SHELX :",
      "INPUT   l-dopa.shelx   rename 0 toxd ",
      "! for XD : ",
      "!INPUT   xd.mas xd.inp ",
      "! etc : ",
      "!INPUT file.inp ",
      "! printout level (higher number gives more printout) :",
      "VERBOSE  4",
      "! tolerances for bonds / planar rings / planar groups",
      "TOLS bond 0.4 ring 0.1 group 0.1",
      "! modify covalent radii",
      "!RADII  H 0.1  He 0.2  Li 0.3 ....",
      "! number of cells in each direction for complete fragment search",
      "! comment it out or set to -1 to turn off search",
      "NCELLS  1",
      "! how to handle disordered part",
      "DISORD  extendH  db",
      "! generation of keys",
      "KEYGEN  XYZUIJ all ordered  MULT all ordered",
      "! use simple model for determination of chemical equivalency",
      "SIMPLE",
      "! use/do_not_use chemical/kappa contraints for H/non-H atoms",
      "CHEMCON  *hydrogen   *other",
      "! extend H-atoms to neutron/standard distance ",
      "Extend_H",
      "! search for 3-8 membered rings",
      "RINGS  3  8  *special",
      "! assign pseudoatom parameters from KESTRAL LAB databank",
      nullptr,  // the DATABANK line: the installed databank
      "! select method for scaling of Pv's ",
      "SCALE *sigma diff fract",
      "! number of fragments ",
      "NFRAG 1",
      "! fragment specifications",
      "!FRAG 1 1 -25",
      "!FRAG 2 26 -50",
      "! net charges of fragments",
      "!CHFRAG 0. 0.",
      " ",
  };
  for (const char* l : kLines) ff::write(os, "(a)"_f, l != nullptr ? l : "DATABANK " + installed_databank());
}

}  // namespace vorn
