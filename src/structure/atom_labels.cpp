#include "structure/atom_labels.hpp"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/elements.hpp"
#include "base/text.hpp"

namespace vorn {

namespace {

constexpr std::size_t kWidth = 8;

// The element part of a label: everything before its first "(".
std::string_view element_part(std::string_view label) {
  label = rtrim(label);
  return label.substr(0, std::min(label.find('('), label.size()));
}

// Eight characters, no blank inside, something between "(" and a closing
// ")" when it has parentheses.
bool well_formed(std::string_view label) {
  if (label.empty() || label.size() > kWidth || label.find(' ') != std::string_view::npos) return false;
  const std::size_t open = label.find('(');
  if (open == std::string_view::npos) return true;
  return open > 0 && label.back() == ')' && label.size() > open + 2;
}

std::string numbered(std::string_view element, int n) {
  char digits[16];
  const auto r = std::to_chars(digits, digits + sizeof digits, n);
  return std::string(element) + "(" + std::string(digits, r.ptr) + ")";
}

}  // namespace

std::string name_label(std::string_view name, int iz) {
  const std::string sym = atsym(iz);
  const std::size_t el = std::min<std::size_t>(sym.size() > 1 && sym[1] != ' ' ? 2 : 1, name.size());
  std::string label(name.substr(0, el));
  label += '(';
  for (char c : name.substr(el))
    if (c != '(' && c != ')') label += c;
  label += ')';
  return label;
}

std::string residue_name(std::string_view name, int resnum) {
  std::string s(name);
  if (resnum != 0) s += "_" + std::to_string(resnum);
  return s;
}

std::vector<int> settle_labels(Run& run) {
  Atoms& a = run.atoms;
  const int nat = a.nat;
  std::vector<std::string> formed(static_cast<std::size_t>(nat) + 1);
  std::unordered_set<std::string> taken;
  std::vector<int> redo;
  for (int i = 1; i <= nat; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    formed[ui] = std::string(rtrim(a.label[ui]));
    if (well_formed(formed[ui]) && taken.insert(formed[ui]).second)
      a.label[ui] = pad(formed[ui], kWidth);
    else
      redo.push_back(i);
  }
  // A free number for each of the others, in atom order, never one that a
  // kept label (of an earlier or a later atom) already has. The numbers
  // below an element's latest one are all taken, so its search goes on
  // from there.
  std::unordered_map<std::string, int> next;
  for (int i : redo) {
    const auto ui = static_cast<std::size_t>(i);
    std::string element(element_part(formed[ui]));
    if (element.empty() || element.size() > 2) element = std::string(rtrim(atsym(a.iz[ui])));
    int& n = next[element];
    std::string label;
    do label = numbered(element, ++n);
    while (taken.count(label));
    taken.insert(label);
    a.label[ui] = pad(label, kWidth);
  }

  // The atoms whose label is not the plain form of their name as the file
  // gives it.
  std::vector<int> shown;
  for (int i = 1; i <= nat; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    const std::string plain = run.ctl.irename == 0 ? name_label(upper(a.name[ui]), a.iz[ui]) : formed[ui];
    if (rtrim(a.label[ui]) != plain) shown.push_back(i);
  }
  return shown;
}

void print_label_changes(Run& run, const std::vector<int>& shown) {
  const Atoms& a = run.atoms;
  if (shown.empty()) return;
  to_lst(run, "(/' Labels that differ from the atom names of the structure file:'/'  name        residue  label')"_f);
  for (int i : shown) {
    const auto ui = static_cast<std::size_t>(i);
    const std::string residue = a.resnum[ui] != 0 ? ff::fmt_i(a.resnum[ui], 7) : std::string(7, ' ');
    const std::string& name = a.name[ui];
    to_lst(run, "(2x,a,1x,a,2x,a)"_f, name.size() < 11 ? pad(name, 11) : name, residue, rtrim(a.label[ui]));
  }
}

}  // namespace vorn
