// The real SHELX structures of the shared test data, run through fragment
// completion, connectivity and ring search as a run with NCELLS 1 and
// RINGS 3 8 would.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "structure/shelx_reader.hpp"
#include "support/builders.hpp"
#include "topology/complete.hpp"
#include "topology/connectivity.hpp"
#include "topology/rings.hpp"

namespace vorn::test {

// Every file the reader accepts (the three it refuses are left out).
inline const std::vector<std::string>& readable_real_files() {
  static const std::vector<std::string> files = {
      "l-alanine_iam.res", "qqqbtp02.res",      "sucrose.res",      "sucrose_p1.res",       "03srv209.res",
      "thpp.res",          "jkd77.res",         "714.res",          "exp_353.res",          "ofizag.res",
      "hxquin13.res",      "zp2.res",           "6-ring-twist-disorder.res", "mo_4984af.res", "pk2606sup1_5.res",
      "test_bedelone.res", "sad-final.res",     "i-43d.res",        "p21c.res",             "x02_p21c.res",
      "014ep-4_a_shelxl.res", "wf5140.res"};
  return files;
}

struct RealRun {
  TestRun t;
  std::ostringstream mas, par;
  RealRun() {
    t.run.mas.attach(mas);
    t.run.par.attach(par);
    t.run.ctl.iformat = FMT_SHELX;
    t.run.ctl.ncells = 1;
    t.run.ring1 = {3, 8, 0};
  }
  void complete(const std::filesystem::path& file) {
    ReadShelx(t.run, file.string());
    gencompletefrags(t.run);
  }
  void rings() {
    connect4rings(t.run);
    FindRings(t.run);
  }
};

}  // namespace vorn::test
