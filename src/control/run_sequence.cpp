#include "control/run_sequence.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/hydrogens.hpp"
#include "control/command_line.hpp"
#include "control/init_control.hpp"
#include "control/read_inp.hpp"
#include "control/run_folders.hpp"
#include "databank/rescale.hpp"
#include "model/interaction.hpp"
#include "model/output_files.hpp"
#include "output/drawing.hpp"
#include "output/json_record.hpp"
#include "output/misfit_list.hpp"
#include "output/mopro.hpp"
#include "output/page.hpp"
#include "output/rho_cif.hpp"
#include "output/summary.hpp"
#include "output/xd_master.hpp"
#include "output/xd_param.hpp"
#include "structure/adp_check.hpp"
#include "structure/aim2tab_reader.hpp"
#include "structure/cif_reader.hpp"
#include "structure/platon_reader.hpp"
#include "structure/shelx_reader.hpp"
#include "structure/xd_reader.hpp"
#include "topology/complete.hpp"
#include "topology/connectivity.hpp"
#include "topology/neighbors.hpp"
#include "topology/rings.hpp"

namespace vorn {

namespace {

void open_output(Run& run, OutUnit& u, const char* name) {
  if (!u.open(run.output_path(name))) {
    const int e = errno;
    err("vorn", std::string("Unable to create output file ") + name + " (" + std::strerror(e) + ")");
  }
}

void rule80(std::ostream& os, char c) { os << std::string(80, c) << '\n'; }

const char* reader_name(int format) {
  switch (format) {
    case FMT_XD: return "ReadXD";
    case FMT_AIM2TAB: return "ReadAim2Tab";
    case FMT_PLATON: return "ReadPlaton";
    default: return "ReadShelx";
  }
}

void read_structure(Run& run) {
  std::string name(rtrim(run.ctl.args));
  // Read as another format, a CIF stops with a message about a line that
  // says nothing of the real mistake.
  if (run.ctl.iformat != FMT_CIF && looks_like_cif(run.path(name)))
    err(reader_name(run.ctl.iformat),
        "File " + name + " looks like a CIF (a data_ block with _ items): give FORMAT *cif in vorn.inp");
  switch (run.ctl.iformat) {
    case FMT_SHELX: ReadShelx(run, name); break;
    case FMT_XD: ReadXD(run, name); break;
    case FMT_AIM2TAB: ReadAim2Tab(run, name); break;
    case FMT_PLATON: ReadPlaton(run, name); break;
    case FMT_CIF: ReadCif(run, name, run.ctl.cifblock); break;
    default: err("ReadInp", "Unknown input file format");
  }
  // Readers of labelled formats (XD, PLATON, AIM2TAB) take the label as the
  // atom's name.
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    if (run.atoms.name[ui].empty()) run.atoms.name[ui] = std::string(rtrim(run.atoms.label[ui]));
  }
  check_adps(run);
}

void set_nsft(Run& run) {
  int n = 1;
  for (int i = 1; i <= run.atoms.nat; ++i) n = std::max(n, run.atoms1.isft[i]);
  run.nsft = n;
}

// Opens the databank; asks for another name for as long as it cannot be
// opened. Standard input that ends stops the run instead of looping.
void open_databank(Run& run) {
  for (;;) {
    std::string name(rtrim(run.ctl.dbname));
    if (!name.empty()) {
      run.db = TextFile::open(run.path(name));
      if (run.db) return;
    }
    to_out(run, "(/' Error opening databank file ',a)"_f, run.ctl.dbname);
    if (!name.empty()) to_out(run, "(1x,a)"_f, "(" + open_failure(run.path(name)) + ")");
    // A blank name comes from a DATABANK line without a path and no VORN_DB.
    const char* const no_path = "DATABANK gives no path and the environment variable VORN_DB is not set";
    if (name.empty()) to_out(run, "(1x,a,': give the path on the DATABANK line or in VORN_DB')"_f, no_path);
    std::string answer;
    do {
      to_out(run, "(1x,'Enter the name of databank file : ',$)"_f);
      run.out.flush();
      if (!read_answer(run, answer)) {
        run.out << '\n';
        if (name.empty())
          err("vorn", std::string(no_path) + ", and no other name was given: give the path on the DATABANK line "
                                             "of vorn.inp or in VORN_DB");
        err("vorn", "Unable to open databank file " + name + " (" + open_failure(run.path(name)) +
                        ") and no other name was given");
      }
      if (answer.size() > MAXFILENAME) {
        to_out(run, "(1x,a)"_f, "The name is " + std::to_string(answer.size()) +
                                  " characters long; file names are limited to " + std::to_string(MAXFILENAME) +
                                  " characters");
        answer.clear();
      }
      answer = file_name_field(answer, "the answer");
    } while (rtrim(answer).empty());
    run.ctl.dbname = answer;
  }
}

void print_times(Run& run, const ff::Format& fmt, const CpuTimes& t) {
  to_both(run, fmt, t.user, t.sys, t.user + t.sys);
}

void find_rings(Run& run) {
  run.clock.lap();
  connect4rings(run);
  FindRings(run);
  print_times(run, "(/' Timing for ring search u,s,t (s) :',3(1x,f12.1))"_f, run.clock.lap());
}

void finish_h_files(Run& run) {
  for (const char* l : {"!", "! isotropic H atoms ADPs", "!"}) ff::write(*run.resm, "(a)"_f, l);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const std::string_view r = run.uratio[static_cast<std::size_t>(i)];
    if (starts_padded(r, "URATIO")) ff::write(*run.resm, "(a)"_f, r);
  }
  run.reset.finish();
  run.cbond.finish();
  for (const char* l : {"!", "! end", "!"}) ff::write(*run.resm, "(a)"_f, l);
  run.resm.finish();
}

// xd_vorn.inp and fixedH.ins are created only once the net charges are
// known: a run that stops at the charge prompt (standard input at its end)
// must not leave them behind empty, where XD would read them as files.
void write_parameter_files(Run& run) {
  *run.lst << '\n';
  rule80(*run.lst, '-');
  to_both(run, "(/' Creating XD parameter file...')"_f);
  if (run.ctl.itoxd == 0 && run.ctl.idb == 1) {
    std::string s = ff::format("(/' ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB = ',3i8)"_f, run.dbc.searched,
                               run.dbc.found, run.dbc.notfound);
    run.out << s;
    *run.lst << s;
    rescalePv(run);
  }
  open_output(run, run.inp, "xd_vorn.inp");
  if (run.ctl.itoxd == 0 && run.ctl.iextH == 1) open_output(run, run.fixh, "fixedH.ins");
  write_xd_inp(run);
  write_mopro_atoms(run);
  write_con_tail(run);
  write_mopro_tail(run);
  run.inp.finish();
  run.fixh.finish();
  // The same model in the exchange format of the field.
  if (run.rho_cif) {
    open_output(run, run.rho, "vorn_rho.cif");
    write_rho_cif(run);
    run.rho.finish();
  }
}

}  // namespace

void run_sequence(Run& run) {
  print_banner(run.out);
  // Without a control file nothing can be done: stop before any output file
  // is created, so that no empty stubs are left behind.
  {
    std::error_code ec;
    const auto inp = run.path("vorn.inp");
    if (!std::ifstream(inp) || std::filesystem::is_directory(inp, ec)) {
      run.error_detail = "vorn.inp: " + open_failure(inp);
      err("ReadInp", "Unable to open VORN input file vorn.inp");
    }
  }
  // From here on every output file is written under its temporary name;
  // the files of the run before stay as they are until this one succeeds.
  run.outputs.begin(run.dir, output_file_names());

  open_output(run, run.mas, "xd_vorn.mas");
  open_output(run, run.par, "mopro_vorn.par");
  rule80(*run.par, '!');
  ff::write(*run.par, "(a)"_f, "!               CREATED BY PROGRAM << VORN >>");
  rule80(*run.par, '!');
  ff::write(*run.par, "(a)"_f, "!  ");
  open_output(run, run.con, "con_mopro.inp");
  for (const char* l : {"!", "! local symmetry  ", "!"}) ff::write(*run.con, "(a)"_f, l);
  // The listing is written in place: it is this run's own account, also
  // of a run that fails.
  if (!run.lst.open(run.path("vorn.out"))) {
    const int e = errno;
    err("vorn", std::string("Unable to create output file vorn.out (") + std::strerror(e) + ")");
  }
  print_banner(*run.lst);

  ReadInp(run);
  if (run.strict && run.control_warnings > 0)
    err("ReadInp", std::to_string(run.control_warnings) + (run.control_warnings == 1 ? " warning" : " warnings") +
                       " about vorn.inp, which --strict makes errors");
  read_structure(run);
  set_nsft(run);
  stop_if_asked(run);

  open_output(run, run.spf, "vorn.spf");
  ff::write(*run.spf, "(a)"_f, "TITL X-green, Y-yellow, Z-brown, Dummy(D)-orange");
  ff::write(*run.spf, "(a)"_f, "ANGSTROM");

  if (run.ctl.idb == 1) open_databank(run);

  if (run.ctl.ifrac == 1 && run.ctl.ncells >= 0)
    gencompletefrags(run);
  else
    run.cryst.ncryst = run.atoms.nat;

  stop_if_asked(run);
  if (run.ctl.iring == 1) find_rings(run);
  stop_if_asked(run);

  if (run.ctl.iextH == 1) {
    open_output(run, run.reset, "reset.bond");
    open_output(run, run.cbond, "const.bond");
    open_output(run, run.resm, "res_mopro.inp");
    for (const char* l : {"!", "! X-H distances", "!"}) ff::write(*run.resm, "(a)"_f, l);
  }

  findallneighbors(run);
  stop_if_asked(run);
  localdef(run);
  stop_if_asked(run);

  if (run.ctl.iextH == 1) finish_h_files(run);

  bool parameter_files = run.ctl.idb == 1 || run.ctl.iextH == 1 || run.ctl.itoxd == 1;
  if (parameter_files) write_parameter_files(run);

  write_spf_rest(run);
  run.spf.finish();
  stop_if_asked(run);

  if (run.model_record) {
    // Both files from one making of the record.
    PageFile page(run);
    write_json_record(run, [&](std::string_view piece) { page.record(piece); });
    page.finish();
  }
  print_misfit_list(run, misfit_atoms(run));

  print_summary(run, parameter_files);

  run.mas.finish();
  run.db.reset();
  run.par.finish();
  run.con.finish();
  stop_if_asked(run);
  // Every output file is complete: together they take the place of the
  // files of the run before.
  run.outputs.commit();

  run.clock.lap();
  print_times(run, "(/' Total program elapsed times u,s,t (s) :',3(1x,f12.1)/)"_f, run.clock.total());
  rule80(*run.lst, '-');
  *run.lst << '\n';
  run.lst.finish();
}

namespace {

// The error as scripts read it on standard error: one line naming the
// folder, with where the input was at fault when the run said so.
void report_error(Run& run, std::ostream& diag, const std::string& routine, const std::string& message) {
  std::string line = "vorn: error: ";
  if (!run.folder.empty()) line += run.folder + ": ";
  line += routine + ": " + std::string(rtrim(message));
  if (!run.error_detail.empty()) line += " (" + run.error_detail + ")";
  line += '\n';
  diag.write(line.data(), static_cast<std::streamsize>(line.size()));
  diag.flush();
}

}  // namespace

int run_in_folder(Run& run, bool strict, std::ostream& diag) {
  run.strict = strict;
  run.diag = &diag;
  std::string routine, message;
  bool reported = false;
  try {
    run_sequence(run);
    return kExitDone;
  } catch (const VornError& e) {
    reported = e.reported();
    routine = e.routine();
    message = e.message();
  } catch (const std::exception& e) {
    // A fault of the program itself: still an orderly stop.
    routine = "vorn";
    message = std::string("internal error: ") + e.what();
  }
  // The output files are closed and their temporary copies removed; the
  // listing stays this run's own, and says what happened.
  run.close_outputs();
  const bool kept = !run.outputs.committed();
  run.outputs.abandon();
  // A stage that printed its own message printed it on standard output
  // alone; the listing gets the banner, so that it explains the stop too.
  std::string banner = ff::format("(/' ERROR *** ',a,' *** ',a,/)"_f, routine, rtrim(message));
  if (run.lst.is_open()) *run.lst << banner;
  if (!reported) run.out << banner;
  if (kept) {
    const std::string why = run.stop_signal != 0 ? "Stopped by " + signal_name(run.stop_signal) : "The run failed";
    if (run.lst.is_open()) ff::write(*run.lst, "(1x,a/)"_f, why + ": no output file was changed");
    to_out(run, "(1x,a/)"_f, why + ": no output file was changed");
  }
  report_error(run, diag, routine, message);
  run.close_all();
  return run.stop_signal != 0 ? kExitSignalBase + run.stop_signal : kExitRunFailed;
}

int vorn_main(Run& run, const std::vector<std::string>& args, std::ostream& diag) {
  const CommandLine cl = parse_command_line(args);
  switch (cl.action) {
    case CommandLine::Action::Version:
      run.out << "vorn " << program_version() << '\n';
      return kExitDone;
    case CommandLine::Action::Help:
      print_banner(run.out);
      print_sample_input(run.out);
      print_option_help(run.out);
      return kExitDone;
    case CommandLine::Action::Usage:
      diag << "vorn: error: " << cl.problem << '\n';
      print_usage(diag);
      return kExitUsage;
    case CommandLine::Action::Init:
      return init_control_file(run.dir, cl.structure, run.out, diag);
    case CommandLine::Action::Run:
      break;
  }
  if (!cl.folders.empty()) return run_folders(cl, diag);
  return run_in_folder(run, cl.strict, diag);
}

}  // namespace vorn
