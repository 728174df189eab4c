// Run-control values set from the control file vorn.inp.
#pragma once

#include <array>
#include <string>

namespace vorn {

enum Format { FMT_NONE = 0, FMT_SHELX = 1, FMT_XD = 2, FMT_AIM2TAB = 3, FMT_PLATON = 5, FMT_CIF = 6 };

struct Ctl {
  int iformat = FMT_NONE;
  int ifrac = 1;                       // coordinates are fractional
  std::string args = std::string(60, ' ');   // structure file (XD: parameter file)
  std::string xdold = std::string(60, ' ');  // XD master file
  std::string cifblock;                // CIF data block asked for ("": the first with atom sites)
  int irename = 0;
  int irs = 0;                         // rename mode
  int itoxd = 0;                       // simple conversion to XD
  int iverb = 1;                       // verbosity
  float tol1 = 0.2f;                   // bond tolerance
  float tol2 = 0.1f;                   // ring planarity
  float tol3 = 0.1f;                   // group planarity
  float misfit_limit = 0.5f;           // site-symmetry misfit above which the symmetry is reduced
  float pair_tol = 0.05f;              // largest bond-length difference of an equivalent pair
  int ncells = -1;
  int idisH = 0;                       // extend H of disordered atoms
  int idisDB = 0;                      // databank for disordered atoms
  std::array<bool, 8> lkey{};          // key switches 1..7
  int iextH = 0;                       // EXTEND_H
  std::array<int, 3> lchem{0, 1, 1};   // constraints for H (1) and non-H (2)
  int isimple = 0;
  int idb = 0;                         // DATABANK
  std::string dbname = std::string(60, ' ');
  int iring = 0;                       // ring search requested
  int iscale = 1;                      // 1 difference, 2 fraction, 3 sigma
};

}  // namespace vorn
