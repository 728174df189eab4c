// Every accepted real structure (SHELX and CIF) run whole with the
// databank, extended hydrogens and completed fragments: vorn_rho.cif reads
// with gemmi, uses only defined data names, names only its own sites, and
// gives the frames of vorn.json and, atom by atom, the density of
// xd_vorn.mas and xd_vorn.inp.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "support/model_files.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::TestRun;

TEST(RealRhoCif, EveryAcceptedStructureDescribesTheDensityOfTheXdFiles) {
  VORN_REQUIRE_SHARED(real);
  const std::string dic = test::dictionary_text();
  if (dic.empty()) GTEST_SKIP() << "../shared/dictionaries/cif_rho.dic not present: skipped";
  const std::set<std::string> dictionary = test::dictionary_names(dic);
  std::vector<fs::path> files;
  for (const fs::path& dir : {real, real.parent_path() / "cif"})
    if (fs::is_directory(dir))
      for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".res" || e.path().extension() == ".cif") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  int structures = 0, atoms = 0, dummies = 0, beyond = 0;
  for (const fs::path& f : files) {
    const std::string name = f.parent_path().filename().string() + "/" + f.filename().string();
    SCOPED_TRACE(name);
    TestRun t;
    fs::copy_file(f, t.dir.path() / f.filename());
    t.write("vorn.inp", "FORMAT *" + std::string(f.extension() == ".cif" ? "cif" : "shelx") + "\nINPUT " +
                            f.filename().string() + "\nNCELLS 1\nEXTEND_H\nDATABANK " + VORN_SOURCE_DIR +
                            "/examples/databank/vorn_example.db\nCHFRAG 0.0\n");
    if (vorn_main(t.run, {}) != 0) {
      ADD_FAILURE() << t.out.str().substr(t.out.str().size() > 1500 ? t.out.str().size() - 1500 : 0);
      continue;
    }
    const test::RhoCheck c = test::check_rho_cif(t, name, dictionary);
    EXPECT_GT(c.atoms, 0);
    EXPECT_EQ(c.directions, 50 * c.atoms);
    atoms += c.atoms;
    dummies += c.dummies;
    beyond += c.beyond_1e3;
    ++structures;
  }
  EXPECT_GE(structures, 45);
  // Enough of both to mean something: rings, methyls and special positions
  // give dummies.
  EXPECT_GT(atoms, 3000);
  EXPECT_GT(dummies, 50);
  // Frames that the written decimals fix to worse than 1e-3 (the second
  // direction near the first, in a large cell) are rare.
  EXPECT_LE(beyond * 1000, atoms) << beyond << " of " << atoms;
}

}  // namespace
}  // namespace vorn
