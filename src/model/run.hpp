// The run state: every table the stages share, the control values, the
// output files and the three standard streams. Each stage is a free function
// taking the Run by reference, so a stage or a whole run can be driven in
// memory by a test.
#pragma once

#include <array>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <memory_resource>
#include <optional>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/cputime.hpp"
#include "base/elements.hpp"
#include "base/line_table.hpp"
#include "base/vecmath.hpp"
#include "format/fortran_io.hpp"
#include "io/file_sink.hpp"
#include "io/out_unit.hpp"
#include "io/output_set.hpp"
#include "io/scanner.hpp"
#include "io/textfile.hpp"
#include "model/connectivity.hpp"
#include "model/crystal.hpp"
#include "model/databank_tables.hpp"
#include "model/dummy_atoms.hpp"
#include "model/group_exceptions.hpp"
#include "model/label_index.hpp"
#include "model/local_frames.hpp"
#include "model/neighbor_record.hpp"
#include "model/options.hpp"
#include "model/parameters.hpp"
#include "model/rings.hpp"

namespace vorn {

struct SearchIndex;  // topology/search_index.hpp
class KappaIndex;    // local/kappa_index.hpp
struct FoundBonds;   // topology/bonds.hpp

struct Run {
  Run(std::ostream& out, std::istream& in, std::filesystem::path dir);
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Defaults set and every table cleared (the state at program start).
  void init();
  // Flushes and closes every output file and ends the writer thread.
  void close_all();
  // Closes every output file but the listing and standard output; the
  // reason of the first byte lost, or an empty text.
  std::string close_outputs();
  // The program's standard output: out (which writes to the descriptor)
  // now goes through the writer thread like the files, formatted writes
  // included; a flush of out still reaches the descriptor at once.
  void take_standard_output(int fd);
  // An input file of the run's folder (or a path from there).
  std::filesystem::path path(std::string_view name) const;
  // Where the run writes its output file `name` (output_files.hpp): its
  // temporary name once the run sequence stages the outputs.
  std::filesystem::path output_path(std::string_view name) { return outputs.path_for(dir, name); }
  // The descriptor behind `in` (standard input), for a prompt that waits
  // for it.
  void take_standard_input(int fd) { in_fd = fd; }

  // Standard streams and the working directory.
  std::ostream& out;
  std::istream& in;
  std::filesystem::path dir;

  // Output files, by role, and the thread that writes them behind the run
  // (declared first: it outlives them).
  WriteBehind writer;
  OutUnit lst{writer};    // vorn.out, the listing
  OutUnit mas{writer};    // xd_vorn.mas
  OutUnit par{writer};    // mopro_vorn.par
  OutUnit con{writer};    // con_mopro.inp
  OutUnit spf{writer};    // vorn.spf
  OutUnit reset{writer};  // reset.bond
  OutUnit cbond{writer};  // const.bond
  OutUnit resm{writer};   // res_mopro.inp
  OutUnit ang{writer};    // vorn.ang
  OutUnit inp{writer};    // xd_vorn.inp
  OutUnit fixh{writer};   // fixedH.ins
  OutUnit json{writer};   // vorn.json
  OutUnit page{writer};   // vorn.html
  OutUnit rho{writer};    // vorn_rho.cif
  FileSink std_out{writer};  // standard output, once taken over
  std::optional<TextFile> db;  // the databank file
  OutputSet outputs;           // the output files kept whole until the run succeeds
  int in_fd = -1;              // standard input's descriptor, when `in` reads one

  // What the run says beyond the listing and standard output, and how it
  // is stopped.
  std::ostream* diag = nullptr;  // standard error: "vorn: error: ..." and "vorn: warning: ..." lines
  std::string folder;            // names the folder in those lines
  bool strict = false;           // warnings about vorn.inp stop the run
  int control_warnings = 0;      // warnings about vorn.inp so far
  std::string error_detail;      // where the input was at fault, said before a stop
  // The signal that asked the run to stop, or 0: set by the signal
  // handler, looked at by stop_if_asked (interaction.hpp).
  volatile std::sig_atomic_t stop_signal = 0;

  // Control values and shared scanning state.
  Ctl ctl;
  std::array<float, NCOVRAD + 1> covrad{};
  Tokens tok;
  Ring1 ring1;

  // Crystal model.
  Atoms atoms;
  Atoms1 atoms1;
  std::vector<Uij> at_uij;
  AtTypes at_types;
  Cryst cryst;
  std::array<float, 6> ucell{};
  Symm symm;
  Transf transf;
  int nsft = 0;
  std::string amodel;  // XD model name, 20 characters
  std::string data_block;  // the CIF data block read ("" for other formats)
  ShelxData shelx;

  // Connectivity and rings.
  Newat newat;
  Conmat conmat;
  Rings rings;
  std::shared_ptr<FoundBonds> bonds;  // the bond table of the connectivity table, for the search index

  // Neighbours, dummies, local axes, kappa sets and per-atom lines.
  std::pmr::monotonic_buffer_resource neighbor_pool;  // the lists of the records of `neighbors`
  std::vector<NeighborRec> neighbors;                 // 1..ncryst
  NeighborRec neig;                    // latest single-atom search
  std::vector<int> isn;                // sorted neighbours of the current atom
  std::shared_ptr<SearchIndex> index;  // spatial and ring index, from the neighbour search on
  std::shared_ptr<KappaIndex> kappa_index;  // earlier atoms by their kappa-set signature, while `index` lasts
  bool plain_scans = false;            // tests: the whole-table scans instead of the index
  bool model_record = true;            // vorn.json and vorn.html; off only where a timing run measures their cost
  bool rho_cif = true;                 // vorn_rho.cif with the parameter files; off likewise
  int iprint = 0;
  Dummy dummy;
  LocalAxes axes;
  SiteSymm site;
  std::vector<std::string> atom_table;  // 1..nat: the atom's line of the master file's atom table, by localdef
  std::string atom_line;  // room for the per-atom lines (axis tables, H ratio line), kept from atom to atom
  std::array<int, 2> forring{};
  int lPG = 0;
  std::vector<std::array<int, 3>> forh;
  std::vector<int> kappaset;  // [0]: sets assigned so far; per atom its set
  Kappas kappas;
  std::vector<int> chemcon;
  LineBlock mopro;  // 90 characters
  LineBlock mcon;   // 90 characters
  std::vector<Mpole> mpoles;
  std::vector<SiteCheck> site_check;  // 1..nat, by localdef
  LabelIndex label_index;  // first atom 1..nat of each label

  // Chemistry.
  Except except;
  LineBlock uratio;  // stored restraint text per atom, 100 characters

  // Databank.
  DbRecord dbrec;
  DbCounters dbc;
  DbFile dbfile;  // db as read by ReadFile, with its position
  std::vector<DbAtom> db_atoms;      // per atom 1..nat
  std::vector<Fragment> fragments;   // 1..n as rescalePv scaled them (entry 0 unused)

  CpuClock clock;
};

// Listing, standard output, or both (listing first).
template <class... Ts>
void to_lst(Run& r, const ff::Format& fmt, const Ts&... args) {
  ff::write(*r.lst, fmt, args...);
}
template <class... Ts>
void to_out(Run& r, const ff::Format& fmt, const Ts&... args) {
  ff::write(r.out, fmt, args...);
}
template <class... Ts>
void to_both(Run& r, const ff::Format& fmt, const Ts&... args) {
  std::string s = ff::format(fmt, args...);
  *r.lst << s;
  r.out << s;
}

}  // namespace vorn
