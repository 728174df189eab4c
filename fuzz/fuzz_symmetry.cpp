// Symmetry cards: every SYM line of the input through getsym, then the
// centre of symmetry, a lattice centring and the listing of the operators.
#include "fuzz_run.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/lattice.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  vorn::Run& run = f.run;
  run.ctl.iverb = 2;
  vorn::TextFile cards = vorn::TextFile::from_string(vorn::fuzz::as_text(data, size), "cards");
  return vorn::fuzz::expect_orderly([&] {
    vorn::getsym(run, cards);
    vorn::addcentsymm(run);
    vorn::nonp(run, 'F');
  });
}
