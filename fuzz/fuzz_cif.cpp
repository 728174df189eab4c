// A CIF through ReadCif (gemmi's parser, the data block, cell, operator loop
// or space-group symbol, atom sites and aniso loop, the symmetry and the
// occupancies), with the heads of the XD master and MoPro files written to
// memory.
#include "fuzz_run.hpp"
#include "structure/cif_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  static std::ostringstream mas, par;
  vorn::Run& run = f.fresh_for_reader(vorn::fuzz::as_text(data, size));
  mas.str({});
  par.str({});
  run.mas.attach(mas);
  run.par.attach(par);
  run.ctl.iformat = vorn::FMT_CIF;
  run.ctl.iverb = 2;
  f.put("x.cif", vorn::fuzz::as_text(data, size));
  return vorn::fuzz::expect_orderly([&] { vorn::ReadCif(run, "x.cif", ""); });
}
