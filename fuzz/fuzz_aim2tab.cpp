// An AIM2TAB output file through ReadAim2Tab.
#include "fuzz_run.hpp"
#include "structure/aim2tab_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  vorn::Run& run = f.fresh_for_reader(vorn::fuzz::as_text(data, size));
  run.ctl.iformat = vorn::FMT_AIM2TAB;
  run.ctl.ifrac = 0;
  f.put("x.out", vorn::fuzz::as_text(data, size));
  return vorn::fuzz::expect_orderly([&] { vorn::ReadAim2Tab(run, "x.out"); });
}
