#include "structure/input_fault.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

TEST(InputFault, NamesFileLineAndTextBeforeTheBanner) {
  TestRun t;
  TextFile f = TextFile::from_string("ATOM C1 0 0 0\nATOM C2 1.54 0\n", "mol.ang");
  std::string line;
  f.next(line, 20);
  f.next(line, 20);
  try {
    input_fault(t.run, "ReadPlaton", "Error reading PLATON file", f, "x, y, z expected, found " + shown(line));
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadPlaton");
    EXPECT_EQ(e.message(), "Error reading PLATON file");
  }
  const char* detail = "\n mol.ang, line 2: x, y, z expected, found <<ATOM C2 1.54 0>>\n";
  EXPECT_EQ(t.out.str(), detail);
  EXPECT_EQ(t.lst.str(), detail);

  TestRun v;
  EXPECT_THROW(input_ended(v.run, "ReadPlaton", "Error reading PLATON file", f, "atom 4"), VornError);
  EXPECT_EQ(v.out.str(), "\n mol.ang: ends after line 2 (atom 4)\n");

  TestRun u;
  EXPECT_THROW(input_missing(u.run, "ReadPlaton", "Error opening PLATON file", "gone.ang   "), VornError);
  EXPECT_EQ(u.out.str(), "\n gone.ang: cannot be opened: No such file or directory\n");
}

}  // namespace
}  // namespace vorn
