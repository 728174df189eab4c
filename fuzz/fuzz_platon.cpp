// A PLATON-style coordinate file through ReadPlaton.
#include "fuzz_run.hpp"
#include "structure/platon_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  vorn::Run& run = f.fresh_for_reader(vorn::fuzz::as_text(data, size));
  run.ctl.iformat = vorn::FMT_PLATON;
  run.ctl.ifrac = 0;
  f.put("x.ang", vorn::fuzz::as_text(data, size));
  return vorn::fuzz::expect_orderly([&] { vorn::ReadPlaton(run, "x.ang"); });
}
