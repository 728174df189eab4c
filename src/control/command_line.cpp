#include "control/command_line.hpp"

#include <charconv>

namespace vorn {

namespace {

// More runs at a time than this is a typing slip, not a machine.
constexpr int kMostJobs = 4096;

CommandLine problem(std::string what) {
  CommandLine c;
  c.action = CommandLine::Action::Usage;
  c.problem = std::move(what);
  return c;
}

bool read_jobs(const std::string& text, int& jobs) {
  const char* end = text.data() + text.size();
  auto [p, ec] = std::from_chars(text.data(), end, jobs);
  return ec == std::errc() && p == end && jobs >= 1 && jobs <= kMostJobs;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string>& args) {
  CommandLine c;
  // "-h" and whatever begins with it asks for the help, as it always did.
  if (!args.empty() && args[0].rfind("-h", 0) == 0) c.action = CommandLine::Action::Help;
  bool only_folders = false;
  bool init = false;
  for (std::size_t k = 0; k < args.size() && c.action != CommandLine::Action::Help; ++k) {
    const std::string& a = args[k];
    if (only_folders || a.empty() || a[0] != '-' || a == "-") {
      c.folders.push_back(a);
      continue;
    }
    // The value of an option: "--jobs=4", "-j4", or the next argument.
    auto value = [&](const std::string& name, std::string& v) {
      if (a.size() > name.size()) {
        v = a.substr(name.size() + (a[name.size()] == '=' ? 1 : 0));
        return true;
      }
      if (k + 1 >= args.size()) return false;
      v = args[++k];
      return true;
    };
    std::string v;
    if (a == "--") {
      only_folders = true;
    } else if (a == "--help" || a == "-h") {
      c.action = CommandLine::Action::Help;
    } else if (a == "--version") {
      c.action = CommandLine::Action::Version;
    } else if (a == "--strict") {
      c.strict = true;
    } else if (a.rfind("--jobs", 0) == 0 && (a.size() == 6 || a[6] == '=')) {
      if (!value("--jobs", v)) return problem("--jobs needs the number of runs at a time");
      if (!read_jobs(v, c.jobs)) return problem("--jobs takes a number of runs from 1 to 4096, not " + v);
    } else if (a.rfind("-j", 0) == 0) {
      if (!value("-j", v)) return problem("-j needs the number of runs at a time");
      if (!read_jobs(v, c.jobs)) return problem("-j takes a number of runs from 1 to 4096, not " + v);
    } else if (a.rfind("--init", 0) == 0 && (a.size() == 6 || a[6] == '=')) {
      if (!value("--init", v) || v.empty()) return problem("--init needs the structure file to start vorn.inp for");
      init = true;
      c.structure = v;
    } else {
      return problem("unknown option " + a);
    }
  }
  if (c.action == CommandLine::Action::Help || c.action == CommandLine::Action::Version) return c;
  if (init) {
    if (!c.folders.empty())
      return problem("--init writes vorn.inp in the current folder for one structure file; " + c.folders.front() +
                     " is one argument too many");
    c.action = CommandLine::Action::Init;
  }
  return c;
}

void print_usage(std::ostream& os) {
  os << "usage: vorn [--strict] [-j N] [DIR ...]   run in each folder given (default: the current one)\n"
        "       vorn --init STRUCTURE              start vorn.inp for a structure file\n"
        "       vorn --help                        every option and a sample vorn.inp\n";
}

void print_option_help(std::ostream& os) {
  os << " Usage: vorn [OPTIONS] [DIR ...]\n"
        "   Runs in each folder given, by default the current one; each folder holds its\n"
        "   own vorn.inp. Several folders run side by side, each with one line of status\n"
        "   and time on standard error; their standard output follows in the order given.\n"
        "\n"
        " Options:\n"
        "   --init STRUCTURE  write vorn.inp for the structure file (SHELX, CIF, XD,\n"
        "                     PLATON or AIM2TAB, told from its content) in the current\n"
        "                     folder, ready to run; an existing vorn.inp is never replaced\n"
        "   -j N, --jobs N    run up to N folders at a time (default: one per core)\n"
        "   --strict          a warning about vorn.inp is an error: the run stops before\n"
        "                     any output file is changed\n"
        "   -h, --help        this help and a sample vorn.inp\n"
        "   --version         the version\n"
        "   --                every argument after it is a folder\n"
        "\n"
        " Every output file but the listing vorn.out is put in place only when the run\n"
        " succeeds; a failed or interrupted run changes none of them. Errors and warnings\n"
        " also go to standard error as 'vorn: error: DIR: ...' and 'vorn: warning: DIR: ...'.\n"
        "\n"
        " Exit status (the worst of the runs):\n"
        "   0    every run completed (also after --help, --version and --init)\n"
        "   1    a run stopped on an error\n"
        "   2    the command line asked for what cannot be done (an unknown option, a\n"
        "        folder that is none, --init where vorn.inp exists)\n"
        "   130  interrupted (SIGINT, Ctrl-C); 143 stopped by SIGTERM\n";
}

}  // namespace vorn
