#include "structure/structure_kind.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/builders.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::read_file;

const fs::path kSource(VORN_SOURCE_DIR);

TEST(StructureKind, EachFormatIsToldFromItsContent) {
  struct Case {
    const char* what;
    std::string text;
    Format format;
  };
  const std::vector<Case> cases = {
      {"SHELX result", read_file(kSource / "examples/toluic/toluic.res"), FMT_SHELX},
      {"CIF", read_file(kSource / "examples/toluic-cif/toluic.cif"), FMT_CIF},
      {"SHELX without TITL, lower case",
       "cell 0.71073 5 6 7 90 90 90\nlatt 1\nsfac c h\nC1 1 0.1 0.2 0.3 11 0.02\nhklf 4\nend\n", FMT_SHELX},
      {"XD parameter file", "!!!!!\n! CREATED BY\n\nXDPARFILE VERSION  2\nTEST     MODEL   4   2   1   0\n", FMT_XD},
      {"XD master file", "TITLE test\nCELL 5 6 7 90 90 90\n    MODULE *XDLSM\nEND XDLSM\n", FMT_XD},
      {"AIM2TAB output", " NUMBER OF ATOMS READ =      1\n NO. ATOM       AT.MASS\n\n   1 C1     12.011\n",
       FMT_AIM2TAB},
      {"PLATON file", "ANGSTROM\nATOM C1 0.0 0.0 0.0\nATOM O1 1.2 0.0 0.0\n", FMT_PLATON},
      // A SHELX file with an atom named ATOM stays a SHELX file.
      {"SHELX with an ATOM label", "TITL x\nCELL 0.7 5 6 7 90 90 90\nSFAC C\nATOM 1 0.1 0.2 0.3 11 0.02\n", FMT_SHELX},
      {"notes", "The crystal was yellow.\nCELL is a word here.\n", FMT_NONE},
      {"empty", "", FMT_NONE},
      {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0", 11), FMT_NONE},
  };
  for (const Case& c : cases) EXPECT_EQ(structure_kind(c.text).format, c.format) << c.what;
  EXPECT_TRUE(structure_kind(cases[3].text).xd_parameters);
  EXPECT_FALSE(structure_kind(cases[4].text).xd_parameters);
}

TEST(StructureKind, TheSharedFilesAreWhatTheirNamesSay) {
  VORN_REQUIRE_SHARED(real);
  std::vector<fs::path> files;
  for (const fs::path& dir : {real, real.parent_path() / "cif"})
    for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path());
  int seen = 0;
  for (const fs::path& f : files) {
    const std::string ext = f.extension().string();
    if (ext != ".cif" && ext != ".res") continue;
    ++seen;
    EXPECT_EQ(structure_kind(read_file(f)).format, ext == ".cif" ? FMT_CIF : FMT_SHELX) << f.filename();
  }
  EXPECT_GT(seen, 40);
}

// The block read when INPUT names none is the first with atom sites, as
// the CIF reader takes it.
TEST(StructureKind, CifBlocksInFileOrderWithTheFirstOfAtomSites) {
  const std::string text =
      "data_publication\n_publ_section_title 'x'\n"
      "data_first\n_cell_length_a 5\nloop_\n_atom_site_label\n_atom_site_fract_x\nC1 0.1\n"
      "data_second\nloop_\n_atom_site_label\nO1\n";
  const StructureKind k = structure_kind(text);
  EXPECT_EQ(k.format, FMT_CIF);
  EXPECT_EQ(k.cif_blocks, (std::vector<std::string>{"publication", "first", "second"}));
  EXPECT_EQ(k.cif_atom_block, "first");
  // A CIF the parser refuses is still told as a CIF: the run says why.
  const StructureKind broken = structure_kind("data_x\n_cell_length_a\nloop_\n");
  EXPECT_EQ(broken.format, FMT_CIF);
  EXPECT_TRUE(broken.cif_blocks.empty());
}

}  // namespace
}  // namespace vorn
