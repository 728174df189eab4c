// The control file vorn.inp through ReadInp.
#include "control/read_inp.hpp"
#include "fuzz_run.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  vorn::Run& run = f.fresh_for_control();
  f.put("vorn.inp", vorn::fuzz::as_text(data, size));
  return vorn::fuzz::expect_orderly([&] { vorn::ReadInp(run); });
}
