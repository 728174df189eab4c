// The file set of a run: every output file it may write in its folder.
#pragma once

#include <string>
#include <vector>

namespace vorn {

// Every output file of a run but the listing vorn.out, which is written in
// place so that it explains the run that wrote it, whatever became of it. A
// run writes each of these under a temporary name and puts them in place
// together once it has succeeded (OutputSet); one it does not write is
// removed then. A writer of a new output file adds its name here.
inline const std::vector<std::string>& output_file_names() {
  static const std::vector<std::string> names = {
      "xd_vorn.mas",  "mopro_vorn.par", "con_mopro.inp", "vorn.spf",     "reset.bond",    "const.bond",
      "res_mopro.inp", "vorn.ang",      "xd_vorn.inp",   "fixedH.ins",   "complete.ang",  "reduced.ang",
      "reduced_1.ang", "group.ang",     "vorn.json",     "vorn.html",    "vorn_rho.cif"};
  return names;
}

}  // namespace vorn
