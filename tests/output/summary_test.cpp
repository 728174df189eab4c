#include "output/summary.hpp"

#include <gtest/gtest.h>

#include "output/lines.hpp"
#include "support/builders.hpp"

namespace vorn::test {
namespace {

const std::string kRule(80, '-');

TEST(Summary, PlainRunNamesTheFixedSetOfFiles) {
  TestRun t;
  print_summary(t.run, false);
  expect_lines(t.out.str(), {
      "",
      " XD instructions are in file            : xd_vorn.mas",
      " Cartesian coordinates in PLATON format : vorn.ang",
      " Reduced structure in PLATON format     : reduced.ang & reduced_1.ang",
      " PLATON plot file with local axes       : vorn.spf",
      " JSON record of the model set-up        : vorn.json",
      " Interactive page of the local axes     : vorn.html",
      " Atoms failing the site-symmetry check  : no atom",
      " Program log file                       : vorn.out",
      "",
      " Local axes can be visualized in PLATON using command : platon -p vorn.spf",
      " Summary of exceptions    : grep -i 'Exception identified' vorn.out",
  });
  expect_lines(t.lst.str(), {
      "",
      kRule,
      "",
      " XD instructions are in file            : xd_vorn.mas",
      " Cartesian coordinates in PLATON format : vorn.ang",
      " Reduced structure in PLATON format     : reduced.ang & reduced_1.ang",
      " PLATON plot file with local axes       : vorn.spf",
      " JSON record of the model set-up        : vorn.json",
      " Interactive page of the local axes     : vorn.html",
      " Atoms failing the site-symmetry check  : no atom",
      " Program log file                       : vorn.out",
      "",
      " Local axes can be visualized in PLATON using command : platon -p vorn.spf",
      " Summary of exceptions    : grep -i 'Exception identified' vorn.out",
  });
}

TEST(Summary, FullRunNamesEveryFileInOrder) {
  TestRun t;
  t.run.ctl.idb = 1;
  t.run.ctl.iextH = 1;
  t.run.ctl.iring = 1;
  print_summary(t.run, true);
  const std::vector<std::string> body = {
      "",
      " XD instructions are in file            : xd_vorn.mas",
      " XD parameters are in file              : xd_vorn.inp",
      " Multipole model in rhoCIF format       : vorn_rho.cif",
      " Atomic coordinates w/extended H-atoms  : fixedH.ins",
      " RESET BOND instructions for H-atoms    : reset.bond",
      " CONSTRAINT instructions for H-atoms    : const.bond",
      " Cartesian coordinates in PLATON format : vorn.ang",
      " Reduced structure in PLATON format     : reduced.ang & reduced_1.ang",
      " PLATON plot file with local axes       : vorn.spf",
      " JSON record of the model set-up        : vorn.json",
      " Interactive page of the local axes     : vorn.html",
      " Atoms failing the site-symmetry check  : no atom",
      " Program log file                       : vorn.out",
      "",
      " Local axes can be visualized in PLATON using command : platon -p vorn.spf",
      " Summary of DB atom types : grep 'DB comment' vorn.out",
      " Summary of X-H distances : grep -i 'x-h' vorn.out",
      " Summary of exceptions    : grep -i 'Exception identified' vorn.out",
  };
  expect_lines(t.out.str(), body);
  std::vector<std::string> lst = {"", kRule};
  lst.insert(lst.end(), body.begin(), body.end());
  expect_lines(t.lst.str(), lst);
}

TEST(Summary, ParameterFilesWithoutHydrogenExtension) {
  TestRun t;
  t.run.ctl.itoxd = 1;  // the simple conversion writes xd_vorn.inp, nothing more
  print_summary(t.run, true);
  auto l = lines_of(t.out.str());
  EXPECT_EQ(l[2], " XD parameters are in file              : xd_vorn.inp");
  EXPECT_EQ(l[3], " Multipole model in rhoCIF format       : vorn_rho.cif");
  EXPECT_EQ(l[4], " Cartesian coordinates in PLATON format : vorn.ang");
  EXPECT_EQ(t.out.str().find("fixedH"), std::string::npos);
  EXPECT_EQ(t.out.str().find("DB comment"), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
