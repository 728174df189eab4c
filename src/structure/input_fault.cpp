#include "structure/input_fault.hpp"

#include <string>

#include "base/error.hpp"
#include "base/text.hpp"

namespace vorn {

void input_fault(Run& run, std::string_view routine, std::string_view message, const TextFile& f,
                 std::string_view what) {
  std::string where = f.name() + ", line " + std::to_string(f.line_number()) + ": " + std::string(what);
  run.error_detail = where;
  to_both(run, "(/1x,a)"_f, where);
  err(routine, message);
}

void input_ended(Run& run, std::string_view routine, std::string_view message, const TextFile& f,
                 std::string_view what) {
  std::string where = f.name() + ": ends after line " + std::to_string(f.size()) + " (" + std::string(what) + ")";
  run.error_detail = where;
  to_both(run, "(/1x,a)"_f, where);
  err(routine, message);
}

void input_missing(Run& run, std::string_view routine, std::string_view message, std::string_view name) {
  const std::string file(rtrim(name));
  std::string why = open_failure(run.path(file));
  run.error_detail = file + ": cannot be opened" + (why.empty() ? "" : ": " + why);
  to_both(run, "(/1x,a)"_f, run.error_detail);
  err(routine, message);
}

std::string shown(std::string_view text) { return "<<" + std::string(rtrim(text)) + ">>"; }

}  // namespace vorn
