// The XD master and parameter files through ReadXD. One input holds both:
// the master file, a line "%%", then the parameter file (an input without
// that line is a master file with an empty parameter file).
#include "fuzz_run.hpp"
#include "base/text.hpp"
#include "structure/xd_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  vorn::Run& run = f.fresh_for_reader(vorn::fuzz::as_text(data, size));
  std::string_view text = vorn::fuzz::as_text(data, size);
  std::size_t cut = text.find("\n%%\n");
  std::string_view mas = text.substr(0, cut);
  std::string_view par = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 4);
  run.ctl.iformat = vorn::FMT_XD;
  run.ctl.iverb = 2;
  run.ctl.xdold = vorn::pad("xd.mas", 60);
  f.put("xd.mas", mas);
  f.put("xd.inp", par);
  return vorn::fuzz::expect_orderly([&] { vorn::ReadXD(run, "xd.inp"); });
}
