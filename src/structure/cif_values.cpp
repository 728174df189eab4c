#include "structure/cif_values.hpp"

#include <cmath>

#include "base/error.hpp"

namespace vorn::cifdoc {

namespace {

enum class Num { Null, Ok, Bad };

// A CIF number; its standard uncertainty in parentheses is dropped.
Num number(const std::string& raw, double& v) {
  if (is_null(raw)) return Num::Null;
  v = as_number(raw);
  return std::isnan(v) ? Num::Bad : Num::Ok;
}

[[noreturn]] void bad_number(const Place& p, const std::string& item, const std::string& raw) {
  err("ReadCif", p.at(item) + ": '" + raw + "' is not a number");
}

}  // namespace

double required(const Place& p, const std::string& item, const std::string& raw) {
  double v = 0;
  const Num n = number(raw, v);
  if (n == Num::Null) err("ReadCif", p.at(item) + ": value missing ('" + raw + "')");
  if (n == Num::Bad) bad_number(p, item, raw);
  return v;
}

double optional(const Place& p, const std::string& item, const std::string& raw, double absent) {
  double v = 0;
  const Num n = number(raw, v);
  if (n == Num::Bad) bad_number(p, item, raw);
  return n == Num::Ok ? v : absent;
}

const std::string* first_value(const Block& b, const std::string& tag) {
  const Column* c = b.find(tag);
  if (c == nullptr || c->values.empty()) return nullptr;
  return &c->values.front();
}

}  // namespace vorn::cifdoc
