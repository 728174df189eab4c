#include "format/format.hpp"

namespace ff {

Format::Format(std::string_view text) : text_(text) {
  detail::Compiler c(text_, grown_);
  fault_ = c.run();
  revert_ = c.revert;
  check();
}

void Format::throw_fault() const { throw std::logic_error("bad format " + std::string(text_) + ": " + fault_); }

}  // namespace ff
