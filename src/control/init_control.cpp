#include "control/init_control.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "control/command_line.hpp"
#include "control/databank_location.hpp"
#include "control/read_inp.hpp"
#include "structure/structure_kind.hpp"

namespace vorn {

namespace {

namespace fs = std::filesystem;

int refuse(std::ostream& diag, const std::string& why) {
  diag << "vorn: error: " << why << '\n';
  return kExitUsage;
}

bool readable(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec) && std::ifstream(p).good();
}

// The whole file, or the system's reason why it cannot be read.
bool read_whole(const fs::path& p, std::string& text, std::string& why) {
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    why = "it is a folder";
    return false;
  }
  std::ifstream f(p, std::ios::binary);
  if (!f) {
    why = std::strerror(errno);
    return false;
  }
  std::ostringstream ss;
  ss << f.rdbuf();
  text = ss.str();
  return true;
}

// The XD file that goes with the one given: the parameter file beside a
// master file (the refined xd.res before the input xd.inp), the master
// file beside a parameter file.
std::string xd_partner(const fs::path& dir, const std::string& given, bool given_is_parameters) {
  const fs::path g(given);
  const std::vector<std::string> endings = given_is_parameters ? std::vector<std::string>{".mas"}
                                                               : std::vector<std::string>{".res", ".inp"};
  for (const std::string& e : endings) {
    fs::path other = g;
    other.replace_extension(e);
    if (other != g && readable(dir / other)) return other.string();
  }
  return {};
}

const char* format_word(Format f) {
  switch (f) {
    case FMT_SHELX: return "*shelx";
    case FMT_CIF: return "*cif";
    case FMT_XD: return "*xd";
    case FMT_AIM2TAB: return "*aim2tab";
    case FMT_PLATON: return "*platon";
    default: return "";
  }
}

const char* format_title(Format f) {
  switch (f) {
    case FMT_SHELX: return "SHELX";
    case FMT_CIF: return "CIF";
    case FMT_XD: return "XD";
    case FMT_AIM2TAB: return "AIM2TAB";
    case FMT_PLATON: return "PLATON";
    default: return "";
  }
}

struct Databank {
  std::string line;     // the DATABANK line, or "" for none
  std::string comment;  // what it reads
};

Databank choose_databank(std::ostream& diag) {
  const char* env = std::getenv("VORN_DB");
  if (env != nullptr && *env != '\0') {
    if (readable(env)) return {"DATABANK", "pseudoatom parameters from the databank that VORN_DB names (" +
                                               std::string(env) + ")"};
    diag << "vorn: warning: VORN_DB names " << env << ", which cannot be read: vorn.inp gets no databank\n";
  }
  const std::string installed = installed_databank();
  if (readable(installed))
    return {"DATABANK " + installed, "pseudoatom parameters from the example databank installed with vorn"};
  return {};
}

std::string control_text(const std::string& structure, const StructureKind& kind, const std::string& input_line,
                         const Databank& db) {
  std::ostringstream t;
  t << "! vorn.inp for " << structure << ", written by vorn --init: run vorn in this folder.\n"
    << "! The settings are vorn's defaults, but for what a first XD set-up needs\n"
    << "! (rings, H atoms moved out, a databank). vorn --help shows a sample with\n"
    << "! every keyword.\n"
    << "!\n"
    << "! structure format, told from the file's content\n"
    << "FORMAT   " << format_word(kind.format) << '\n'
    << "! the structure file" << (kind.format == FMT_XD ? "s: master file, parameter file" : "") << '\n'
    << input_line << '\n';
  if (kind.cif_blocks.size() > 1) {
    t << "! " << structure << " holds " << kind.cif_blocks.size() << " data blocks:";
    for (std::size_t k = 0; k < kind.cif_blocks.size(); ++k) {
      const std::string& b = kind.cif_blocks[k];
      t << (k == 0 ? " " : ", ") << b << (b == kind.cif_atom_block ? " (atom sites)" : "");
    }
    t << "\n! INPUT names the one read: give another block's name after the file name\n";
  }
  t << "! amount of listing in vorn.out (1 to 3)\n"
    << "VERBOSE  1\n"
    << "! bond tolerance added to the covalent radii; planarity of rings and groups (A)\n"
    << "TOLS     bond 0.2 ring 0.1 group 0.1\n"
    << "! complete the molecules with symmetry images within -1 ... +1 cells (-1: off)\n"
    << "NCELLS   1\n"
    << "! refinement keys of xd_vorn.mas, by position: star each to switch it on\n"
    << "KEYGEN   XYZUIJ all ordered MULT all ordered kappas\n"
    << "! disordered atoms: star extendH to move their H atoms out, db for databank values\n"
    << "DISORD   extendH db\n"
    << "! chemical and kappa constraints for H atoms and other atoms (unstar to drop)\n"
    << "CHEMCON  *hydrogen *other\n"
    << "! the simple model of chemical equivalence: remove the ! to use it\n"
    << "!SIMPLE\n"
    << "! on for XD: search rings of 3 to 8 atoms (star special: m symmetry in a planar ring)\n"
    << "RINGS    3 8 special\n"
    << "! on for XD: move H atoms out to the standard X-H distances\n"
    << "EXTEND_H\n";
  if (!db.line.empty()) {
    t << "! on for XD: " << db.comment << '\n' << db.line << '\n';
  } else {
    t << "! no databank was found (set VORN_DB, or name one here and remove the !)\n"
      << "!DATABANK /path/to/databank.txt\n";
  }
  t << "! how valence populations are rescaled to the net charge: *diff, *frac or *sigma\n"
    << "SCALE    *diff frac sigma\n"
    << "! SET THE NET CHARGE of the structure here (all atoms form one fragment; NFRAG\n"
    << "! and FRAG lines split them, vorn --help shows how)\n"
    << "CHFRAG   0.0\n";
  return t.str();
}

}  // namespace

std::string input_word(const std::string& name) {
  for (char c : name)
    if (static_cast<unsigned char>(c) < 32 || c == 127) return {};
  const bool plain = name.find_first_of(" \t") == std::string::npos && name[0] != '"' && name[0] != '\'';
  if (plain) return name;
  if (name.find('"') == std::string::npos) return '"' + name + '"';
  if (name.find('\'') == std::string::npos) return '\'' + name + '\'';
  return {};
}

int init_control_file(const fs::path& dir, const std::string& structure, std::ostream& out, std::ostream& diag) {
  const fs::path target = dir / "vorn.inp";
  std::error_code ec;
  if (fs::exists(fs::symlink_status(target, ec)))
    return refuse(diag, "vorn.inp exists already here; --init never replaces it (rename or remove it first)");

  std::string text, why;
  if (!read_whole(dir / structure, text, why)) return refuse(diag, "cannot read " + structure + ": " + why);
  const StructureKind kind = structure_kind(text);
  if (kind.format == FMT_NONE)
    return refuse(diag, "cannot tell the format of " + structure +
                            " from its content (SHELX, CIF, XD, PLATON or AIM2TAB): write vorn.inp by hand "
                            "(vorn --help shows a sample)");
  if (kind.format == FMT_CIF && !kind.cif_blocks.empty() && kind.cif_atom_block.empty())
    return refuse(diag, structure + " is a CIF with no data block of atom sites (_atom_site_label)");

  std::vector<std::string> names{structure};
  if (kind.format == FMT_XD) {
    const std::string other = xd_partner(dir, structure, kind.xd_parameters);
    if (other.empty())
      return refuse(diag, std::string("no XD ") + (kind.xd_parameters ? "master file (.mas)" : "parameter file (.res or .inp)") +
                              " beside " + structure + ": INPUT names both");
    names = kind.xd_parameters ? std::vector<std::string>{other, structure} : std::vector<std::string>{structure, other};
  }
  std::string input_line = "INPUT   ";
  for (const std::string& n : names) {
    const std::string w = input_word(n);
    if (w.empty() || n.size() > MAXFILENAME)
      return refuse(diag, "the name " + n + " cannot be given on INPUT (" +
                              (w.empty() ? std::string("it holds both kinds of quotes or a control character")
                                         : "longer than " + std::to_string(MAXFILENAME) + " characters") +
                              "): rename the file");
    input_line += ' ' + w;
  }
  if (kind.cif_blocks.size() > 1) input_line += ' ' + kind.cif_atom_block;

  const std::string control = control_text(structure, kind, input_line, choose_databank(diag));
  // Created only if absent, so that a vorn.inp made meanwhile is not lost.
  const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int e = errno;
    if (e == EEXIST)
      return refuse(diag, "vorn.inp exists already here; --init never replaces it (rename or remove it first)");
    diag << "vorn: error: cannot create vorn.inp: " << std::strerror(e) << '\n';
    return kExitRunFailed;
  }
  std::size_t done = 0;
  int e = 0;
  while (done < control.size()) {
    const ssize_t k = ::write(fd, control.data() + done, control.size() - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) {
      e = k < 0 ? errno : EIO;
      break;
    }
    done += static_cast<std::size_t>(k);
  }
  if (::close(fd) != 0 && e == 0) e = errno;
  if (e != 0) {
    ::unlink(target.c_str());
    diag << "vorn: error: cannot write vorn.inp: " << std::strerror(e) << '\n';
    return kExitRunFailed;
  }
  out << "vorn.inp written for " << structure << " (" << format_title(kind.format)
      << (kind.cif_blocks.size() > 1 ? ", data block " + kind.cif_atom_block : std::string()) << "): set the net charge"
      << " on its CHFRAG line, then run vorn here\n";
  return kExitDone;
}

}  // namespace vorn
