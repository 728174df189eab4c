#include "model/run.hpp"

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"

namespace vorn {

Run::Run(std::ostream& o, std::istream& i, std::filesystem::path d) : out(o), in(i), dir(std::move(d)) { init(); }

void Run::close_all() {
  close_outputs();
  lst.close();
  std_out.close();
  writer.stop();
  db.reset();
}

std::string Run::close_outputs() {
  std::string first;
  for (OutUnit* u : {&mas, &par, &con, &spf, &reset, &cbond, &resm, &ang, &inp, &fixh, &json, &page, &rho}) {
    std::string why = u->close();
    if (first.empty()) first = std::move(why);
  }
  return first;
}

void Run::take_standard_output(int fd) {
  std_out.adopt(fd);
  out.rdbuf(&std_out);
  ff::RecordBuf::attach(out, &std_out);
}

std::filesystem::path Run::path(std::string_view name) const { return dir / std::string(name); }

void Run::init() {
  const auto n = static_cast<std::size_t>(MAXAT + 1);
  ctl = Ctl{};
  control_warnings = 0;
  error_detail.clear();
  covrad = default_covrad();
  tok = Tokens{};
  ring1 = Ring1{};

  atoms = Atoms{};
  atoms.label.assign(n, std::string(8, ' '));
  atoms.xf.assign(n, Frac{});
  atoms.xc.assign(n, Cart{});
  atoms.iz.assign(n, 0);
  atoms.sitesym.assign(n, std::string(5, ' '));
  atoms.name.assign(n, std::string());
  atoms.resnum.assign(n, 0);
  atoms1 = Atoms1{};
  atoms1.iu.assign(n, 0);
  atoms1.isft.assign(n, 0);
  atoms1.lmax.assign(n, 0);
  atoms1.occ.assign(n, 1.0f);
  atoms1.flag.assign(n, 0);
  atoms1.part.assign(n, 0);
  at_uij.assign(n, Uij{});
  at_types = AtTypes{};
  at_types.iz.assign(1, 0);
  cryst = Cryst{};
  cryst.isq.assign(n, 0);
  cryst.nsq.assign(n, 0);
  cryst.copy.assign(n, SymCopy{1, 0, 0, 0});
  ucell = {};
  symm = Symm{};
  symm.op.assign(1, SymOp{});
  transf = Transf{};
  nsft = 0;
  amodel = pad("TEST", 20);
  data_block.clear();
  shelx = ShelxData{};
  shelx.fv.assign(MAXFV + 1, 0.0f);
  shelx.fv[1] = 1.0f;
  shelx.wght = {0.0f, -2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.33333334f};
  shelx.riding.assign(n, 0);

  newat = Newat{};
  conmat = Conmat{};
  rings = Rings{};
  rings.ring.assign(1, Ring{});

  neighbors.clear();  // sized by the neighbour search for the atoms there are
  neig = NeighborRec{};
  isn.clear();
  index.reset();
  kappa_index.reset();
  iprint = 0;
  dummy = Dummy{};
  dummy.label.assign(1, std::string(6, ' '));
  dummy.x.assign(1, Vec3{});
  axes = LocalAxes{};
  site = SiteSymm{};
  site.group.assign(n, std::string());
  site.own_frame.assign(n, 0);
  site.chemical.assign(n, std::string());
  forring = {};
  lPG = 0;
  forh.assign(n, std::array<int, 3>{});
  kappaset.assign(n, 0);
  kappas = Kappas{};
  kappas.kappa.assign(1, 0.0f);
  kappas.kappap.assign(1, 0.0f);
  kappas.nsft.assign(1, 0);
  chemcon.assign(n, 0);
  mopro.assign(n, 90);
  mcon.assign(n, 90);
  mpoles.clear();  // sized by localdef for the atoms there are
  atom_table.clear();
  site_check.clear();
  label_index.clear();

  except = Except{};
  except.flag.assign(n, 0);
  except.group.assign(n, 40);
  uratio.assign(n, 100);

  dbrec = DbRecord{};
  dbc = DbCounters{};
  dbfile = DbFile{};
  db_atoms.clear();  // sized by localdef
  fragments.clear();
}

}  // namespace vorn
