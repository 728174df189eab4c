#include "control/command_line.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vorn {
namespace {

using Action = CommandLine::Action;

struct Case {
  std::vector<std::string> args;
  Action action;
  std::vector<std::string> folders;
  int jobs;
  bool strict;
  std::string structure;
  std::string problem;  // a part of the problem's text
};

TEST(CommandLine, ArgumentsAsAShellUserWritesThem) {
  const std::vector<Case> cases = {
      {{}, Action::Run, {}, 0, false, "", ""},
      {{"d1", "d2"}, Action::Run, {"d1", "d2"}, 0, false, "", ""},
      {{"-j", "2", "d1", "d2", "d3"}, Action::Run, {"d1", "d2", "d3"}, 2, false, "", ""},
      {{"-j2", "d1"}, Action::Run, {"d1"}, 2, false, "", ""},
      {{"--jobs", "3", "d1"}, Action::Run, {"d1"}, 3, false, "", ""},
      {{"--jobs=4"}, Action::Run, {}, 4, false, "", ""},
      {{"--strict"}, Action::Run, {}, 0, true, "", ""},
      {{"d1", "--strict", "d2"}, Action::Run, {"d1", "d2"}, 0, true, "", ""},
      {{"--", "-odd-name", "--strict"}, Action::Run, {"-odd-name", "--strict"}, 0, false, "", ""},
      {{"--init", "x.cif"}, Action::Init, {}, 0, false, "x.cif", ""},
      {{"--init=my structure.res"}, Action::Init, {}, 0, false, "my structure.res", ""},
      {{"--help"}, Action::Help, {}, 0, false, "", ""},
      {{"-h"}, Action::Help, {}, 0, false, "", ""},
      // Whatever begins with -h asks for the help, as it always did.
      {{"-hx", "--frobnicate"}, Action::Help, {}, 0, false, "", ""},
      {{"--strict", "--help"}, Action::Help, {}, 0, true, "", ""},
      {{"--version"}, Action::Version, {}, 0, false, "", ""},
      {{"--frobnicate"}, Action::Usage, {}, 0, false, "", "unknown option --frobnicate"},
      {{"d1", "-x"}, Action::Usage, {}, 0, false, "", "unknown option -x"},
      {{"-j"}, Action::Usage, {}, 0, false, "", "-j needs the number"},
      {{"-j", "0"}, Action::Usage, {}, 0, false, "", "from 1 to 4096, not 0"},
      {{"-j", "two"}, Action::Usage, {}, 0, false, "", "not two"},
      {{"--jobs=-1"}, Action::Usage, {}, 0, false, "", "not -1"},
      {{"-j", "5000"}, Action::Usage, {}, 0, false, "", "not 5000"},
      {{"--init"}, Action::Usage, {}, 0, false, "", "--init needs the structure file"},
      {{"--init", "x.cif", "d1"}, Action::Usage, {}, 0, false, "", "d1 is one argument too many"},
      {{"--initx"}, Action::Usage, {}, 0, false, "", "unknown option --initx"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += " " + a;
    const CommandLine cl = parse_command_line(c.args);
    EXPECT_EQ(cl.action, c.action) << shown;
    if (c.action == Action::Usage) {
      EXPECT_NE(cl.problem.find(c.problem), std::string::npos) << shown << ": " << cl.problem;
      continue;
    }
    if (c.action == Action::Help) continue;
    EXPECT_EQ(cl.folders, c.folders) << shown;
    EXPECT_EQ(cl.jobs, c.jobs) << shown;
    EXPECT_EQ(cl.strict, c.strict) << shown;
    EXPECT_EQ(cl.structure, c.structure) << shown;
  }
}

// The help names every option the parser takes, each of which it then
// takes, and the usage is short and names the help.
TEST(CommandLine, HelpListsEveryOptionAndTheExitStatuses) {
  std::ostringstream help;
  print_option_help(help);
  const std::string text = help.str();
  std::set<std::string> named;
  const std::regex option(R"((^|[ ,])(--?[a-z][a-z-]*))");
  for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) named.insert((*it)[2]);
  for (const char* o : {"--init", "-j", "--jobs", "--strict", "-h", "--help", "--version"})
    EXPECT_TRUE(named.count(o)) << o << " is not in the help";
  for (const std::string& o : named) {
    std::vector<std::string> args{o};
    if (o == "--init" || o == "-j" || o == "--jobs") args.push_back(o == "--init" ? "x.res" : "2");
    EXPECT_NE(parse_command_line(args).action, Action::Usage) << o << " is in the help but not taken";
  }
  for (const char* status : {"   0 ", "   1 ", "   2 ", "   130 ", "143"})
    EXPECT_NE(text.find(status), std::string::npos) << status;

  std::ostringstream os;
  print_usage(os);
  const std::string usage = os.str();
  EXPECT_LE(std::count(usage.begin(), usage.end(), '\n'), 4);
  EXPECT_NE(usage.find("vorn --help"), std::string::npos);
}

}  // namespace
}  // namespace vorn
