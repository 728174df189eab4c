#include "output/json_record.hpp"

#include <cctype>
#include <optional>
#include <string_view>

#include "control/elements.hpp"
#include "control/error.hpp"
#include "control/run_sequence.hpp"
#include "control/text.hpp"
#include "local/frame.hpp"
#include "symmetry/cards.hpp"

namespace vorn {

namespace {

// The fields that later stages of the set-up may fill in; until they exist
// the record gives what the run knows.
std::string input_name(const Run& run, int atom) { return std::string(rtrim(run.atoms.label[atom])); }
int disorder_part(const Run&, int) { return 0; }
std::optional<float> site_misfit(const Run&, int) { return std::nullopt; }

const char* format_word(int f) {
  switch (f) {
    case FMT_SHELX: return "shelx";
    case FMT_XD: return "xd";
    case FMT_AIM2TAB: return "aim2tab";
    case FMT_PLATON: return "platon";
    case FMT_CIF: return "cif";
    default: return "";
  }
}

// Plus zero turns a negative zero (from a negated 0) into 0.
Json vec(const Vec3& v) { return Json::array({v[0] + 0.0f, v[1] + 0.0f, v[2] + 0.0f}); }

std::string label_of(const Run& run, int atom) { return std::string(rtrim(run.atoms.label[atom])); }

std::string element_of(int z) {
  std::string s = atsym(z);
  s.resize(rtrim(s).size());
  if (s.size() == 2) s[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
  return s;
}

// An operator as the listing writes it ("1/2 - X, + Y, 1/2 - Z"), without
// the sign of a leading positive term.
std::string operator_text(const SymOp& op) {
  std::string s;
  for (int k = 0; k < 3; ++k) {
    std::string row = opout(op.R[static_cast<std::size_t>(k)], op.t[static_cast<std::size_t>(k)]);
    if (row.starts_with(" + ")) row.erase(0, 3);
    if (row.starts_with(" ")) row.erase(0, 1);
    if (k > 0) s += ", ";
    s += row.empty() ? "0" : row;
  }
  return s;
}

Json operators(const Run& run) {
  Json list = Json::array();
  for (int n = 1; n <= run.symm.nsym; ++n) {
    const SymOp& op = run.symm.op[static_cast<std::size_t>(n)];
    Json rot = Json::array();
    for (const Vec3& row : op.R) rot.push_back(vec(row));
    list.push_back(Json{{"text", operator_text(op)}, {"rotation", std::move(rot)}, {"translation", vec(op.t)}});
  }
  return list;
}

Json cell(const Run& run) {
  const auto& c = run.ucell;
  if (c[0] <= 0.0f || c[1] <= 0.0f || c[2] <= 0.0f) return nullptr;
  return Json{{"a", c[0]}, {"b", c[1]}, {"c", c[2]}, {"alpha", c[3]}, {"beta", c[4]}, {"gamma", c[5]}};
}

Json frame(const Run& run, int atom) {
  const AtomFrame f = atom_frame(run, atom);
  Json j{{"atom0", axis_label(run, f.atom0)}, {"ax1", std::string(1, f.ax1)}, {"atom2", axis_label(run, f.atom2)},
         {"ax2", std::string(1, f.ax2)}, {"hand", std::string(1, f.hand)}};
  if (f.defined) {
    j["x"] = vec(f.axis[0]);
    j["y"] = vec(f.axis[1]);
    j["z"] = vec(f.axis[2]);
  } else {
    j["x"] = nullptr;
    j["y"] = nullptr;
    j["z"] = nullptr;
  }
  return j;
}

// Ring numbers of every atom 1..ncryst.
std::vector<std::vector<int>> rings_of_atoms(const Run& run) {
  std::vector<std::vector<int>> out(static_cast<std::size_t>(std::max(run.cryst.ncryst, run.atoms.nat)) + 1);
  for (int k = 1; k <= run.rings.nor; ++k) {
    const Ring& r = run.rings.ring[static_cast<std::size_t>(k)];
    for (int m = 0; m < r.size && static_cast<std::size_t>(m) < r.members.size(); ++m) {
      const int a = r.members[static_cast<std::size_t>(m)];
      if (a >= 1 && static_cast<std::size_t>(a) < out.size()) out[static_cast<std::size_t>(a)].push_back(k);
    }
  }
  return out;
}

Json neighbours(const Run& run, int atom) {
  Json list = Json::array();
  const auto a = static_cast<std::size_t>(atom);
  if (a >= run.neighbors.size()) return list;
  const NeighborRec& r = run.neighbors[a];
  for (int k = 1; k <= r.nnei; ++k) {
    const int j = at_or_zero(r.inei, k);
    if (j < 1 || j > run.cryst.ncryst) continue;
    // From the positions the model ends with: a hydrogen atom moved out to
    // its standard distance shows that distance.
    const float d = dist(run.atoms.xc[a], run.atoms.xc[static_cast<std::size_t>(j)]);
    list.push_back(Json{{"atom", j}, {"label", label_of(run, j)}, {"distance", d}});
  }
  return list;
}

Json atom_record(const Run& run, int i, const std::vector<int>& rings) {
  const auto a = static_cast<std::size_t>(i);
  const int z = run.atoms.iz[a];
  Json j;
  j["n"] = i;
  j["label"] = label_of(run, i);
  j["name"] = input_name(run, i);
  j["element"] = element_of(z);
  j["z"] = z;
  j["frac"] = run.ctl.ifrac == 1 ? vec(run.atoms.xf[a]) : Json(nullptr);
  j["cart"] = vec(run.atoms.xc[a]);
  j["occupancy"] = run.atoms1.occ[a];
  j["part"] = disorder_part(run, i);
  j["neighbours"] = neighbours(run, i);
  j["rings"] = rings;
  j["frame"] = frame(run, i);
  j["site_symmetry"] = std::string(rtrim(run.atoms.sitesym[a]));
  if (const auto m = site_misfit(run, i))
    j["misfit"] = *m;
  else
    j["misfit"] = nullptr;
  j["kappa_set"] = a < run.kappaset.size() ? run.kappaset[a] : 0;
  const int equiv = a < run.mpoles.size() ? run.mpoles[a].equiv : 0;
  j["constraint"] = equiv > 0 ? Json(label_of(run, equiv)) : Json(nullptr);
  const bool group = a < run.except.flag.size() && run.except.flag[a] == 1;
  j["group"] = group ? Json(std::string(rtrim(run.except.group[a]))) : Json(nullptr);
  const DbAtom* db = a < run.db_atoms.size() ? &run.db_atoms[a] : nullptr;
  j["databank_searched"] = db != nullptr && db->searched;
  j["databank"] = db != nullptr && db->found ? Json(db->entry) : Json(nullptr);
  j["pv"] = a < run.mpoles.size() ? run.mpoles[a].pv : 0.0f;
  return j;
}

Json images(const Run& run) {
  Json list = Json::array();
  for (int j = run.atoms.nat + 1; j <= run.cryst.ncryst; ++j) {
    const auto a = static_cast<std::size_t>(j);
    list.push_back(Json{{"n", j},
                        {"label", label_of(run, j)},
                        {"source", run.cryst.isq[a]},
                        {"element", element_of(run.atoms.iz[a])},
                        {"cart", vec(run.atoms.xc[a])}});
  }
  return list;
}

// Every bonded pair of the completed structure once, lower number first.
Json bonds(const Run& run) {
  Json list = Json::array();
  const int n = std::min(run.cryst.ncryst, static_cast<int>(run.neighbors.size()) - 1);
  for (int i = 1; i <= n; ++i) {
    const NeighborRec& r = run.neighbors[static_cast<std::size_t>(i)];
    for (int k = 1; k <= r.nnei; ++k) {
      const int j = at_or_zero(r.inei, k);
      if (j > i && j <= run.cryst.ncryst) list.push_back(Json::array({i, j}));
    }
  }
  return list;
}

Json dummies(const Run& run) {
  Json list = Json::array();
  for (int d = 1; d <= run.dummy.n; ++d) {
    const Vec3& x = run.dummy.x[static_cast<std::size_t>(d)];
    list.push_back(Json{{"n", d},
                        {"label", std::string(rtrim(run.dummy.label[static_cast<std::size_t>(d)]))},
                        {"frac", run.ctl.ifrac == 1 ? vec(x) : Json(nullptr)},
                        {"cart", vec(axis_point(run, run.atoms.nat + d))}});
  }
  return list;
}

Json kappa_sets(const Run& run) {
  const int nk = run.kappaset.empty() ? 0 : run.kappaset[0];
  std::vector<Json> members(static_cast<std::size_t>(std::max(nk, 0)) + 1, Json::array());
  for (int i = 1; i <= run.atoms.nat && static_cast<std::size_t>(i) < run.kappaset.size(); ++i) {
    const int k = run.kappaset[static_cast<std::size_t>(i)];
    if (k >= 1 && k <= nk) members[static_cast<std::size_t>(k)].push_back(label_of(run, i));
  }
  Json list = Json::array();
  const Kappas& ks = run.kappas;
  for (int k = 1; k <= nk; ++k) {
    const auto u = static_cast<std::size_t>(k);
    const bool known = u < ks.kappa.size() && u < ks.kappap.size() && u < ks.nsft.size();
    list.push_back(Json{{"n", k},
                        {"kappa", known ? Json(ks.kappa[u]) : Json(nullptr)},
                        {"kappa_prime", known ? Json(ks.kappap[u]) : Json(nullptr)},
                        {"table", known ? ks.nsft[u] : 0},
                        {"atoms", std::move(members[u])}});
  }
  return list;
}

Json rings(const Run& run) {
  Json list = Json::array();
  for (int k = 1; k <= run.rings.nor; ++k) {
    const Ring& r = run.rings.ring[static_cast<std::size_t>(k)];
    Json atoms = Json::array(), labels = Json::array();
    for (int m = 0; m < r.size && static_cast<std::size_t>(m) < r.members.size(); ++m) {
      const int a = r.members[static_cast<std::size_t>(m)];
      atoms.push_back(a);
      labels.push_back(a >= 1 && a <= run.cryst.ncryst ? label_of(run, a) : std::string());
    }
    list.push_back(Json{{"n", k}, {"size", r.size}, {"atoms", std::move(atoms)}, {"labels", std::move(labels)},
                        {"planar", r.planar == 1}});
  }
  return list;
}

Json fragments(const Run& run) {
  Json list = Json::array();
  for (std::size_t k = 1; k < run.fragments.size(); ++k) {
    const Fragment& f = run.fragments[k];
    Json labels = Json::array();
    for (int a : f.atoms) labels.push_back(label_of(run, a));
    list.push_back(Json{{"n", static_cast<int>(k)}, {"charge", f.charge}, {"atoms", std::move(labels)}});
  }
  return list;
}

}  // namespace

Json model_record(const Run& run) {
  Json r;
  r["program"] = "VORN";
  r["version"] = program_version();
  Json input{{"file", std::string(rtrim(run.ctl.args))}, {"format", format_word(run.ctl.iformat)}};
  if (run.ctl.iformat == FMT_XD) input["master_file"] = std::string(rtrim(run.ctl.xdold));
  if (run.ctl.iformat == FMT_CIF && !run.ctl.cifblock.empty()) input["data_block"] = run.ctl.cifblock;
  r["input"] = std::move(input);
  r["cell"] = cell(run);
  Json m = Json::array();
  for (const Vec3& row : run.transf.M) m.push_back(vec(row));
  r["to_cartesian"] = std::move(m);
  r["symmetry"] = operators(run);
  r["tolerances"] = Json{{"bond", run.ctl.tol1}, {"ring", run.ctl.tol2}, {"group", run.ctl.tol3}};
  r["ncells"] = run.ctl.ncells;

  const auto ring_lists = rings_of_atoms(run);
  Json atoms = Json::array();
  for (int i = 1; i <= run.atoms.nat; ++i) atoms.push_back(atom_record(run, i, ring_lists[static_cast<std::size_t>(i)]));
  r["atoms"] = std::move(atoms);
  r["images"] = images(run);
  r["bonds"] = bonds(run);
  r["dummies"] = dummies(run);
  r["kappa_sets"] = kappa_sets(run);
  r["rings"] = rings(run);
  r["fragments"] = fragments(run);
  return r;
}

std::string record_text(const Json& record) {
  constexpr auto kReplace = nlohmann::detail::error_handler_t::replace;
  auto dump = [&](const Json& j) { return j.dump(-1, ' ', false, kReplace); };
  std::string out = "{\n";
  bool first = true;
  for (const auto& [key, value] : record.items()) {
    if (!first) out += ",\n";
    first = false;
    out += "  ";
    out += dump(Json(key));
    out += ": ";
    if (value.is_array() && !value.empty() && value.front().is_structured()) {
      out += "[\n";
      for (std::size_t k = 0; k < value.size(); ++k) {
        out += "    ";
        out += dump(value[k]);
        out += k + 1 < value.size() ? ",\n" : "\n";
      }
      out += "  ]";
    } else {
      out += dump(value);
    }
  }
  out += "\n}\n";
  return out;
}

std::string write_json_record(Run& run) {
  std::string text = record_text(model_record(run));
  if (!run.json.open(run.path("vorn.json"))) err("vorn", "Unable to create output file vorn.json");
  run.json->write(text.data(), static_cast<std::streamsize>(text.size()));
  run.json.finish();
  return text;
}

}  // namespace vorn
