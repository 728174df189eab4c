// The output files of one run in one folder, kept whole until the run has
// succeeded.
//
// Users keep the files of a good run and run again after an edit. A run that
// stops half-way (an error, Ctrl-C, a kill) must leave those files as they
// were, not emptied or cut short, and a folder must never hold the files of
// two runs side by side. So, while the set is staging, every output file is
// written under a temporary name beside its own ("xd_vorn.mas.vorn-tmp");
// commit() renames them into place once all of them are complete (closed,
// every block written by the writer thread and every write checked), and
// removes the files of the set that this run did not write; abandon()
// removes the temporary files and changes nothing else. The files are not
// synced to the disk one by one: that would cost a large run a quarter of
// its time, and guards against a crash of the machine, not of the run (a
// rename over a file makes ext4 write the new data first anyway).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

class OutputSet {
 public:
  // What marks a temporary file.
  static constexpr std::string_view kTemporarySuffix = ".vorn-tmp";

  // Stages the outputs of a run in dir: names are every output file the
  // program may write there.
  void begin(const std::filesystem::path& dir, const std::vector<std::string>& names);
  bool staging() const { return staging_; }
  bool committed() const { return committed_; }

  // Where the output file `name` of the folder is written: its temporary
  // name while staging, else the name itself (a stage called on its own by
  // a test). A name that is not among the set's stops the run: a file that
  // escapes the set would be neither kept safe nor cleaned up.
  std::filesystem::path path_for(const std::filesystem::path& dir, std::string_view name);

  // Renames every file written into place and removes the files of the set
  // that this run did not write. Stops the run (err) with the system's
  // reason when a file cannot be put in place. The files must be closed.
  void commit();
  // Removes every temporary file of the set (also one left by a run that
  // was killed outright); the folder keeps what it held before.
  void abandon() noexcept;

  // The temporary paths of every name of the set, as C strings that stay
  // valid until the next begin(): what a signal handler may remove without
  // allocating.
  const std::vector<const char*>& temporary_paths() const { return temp_cstr_; }

 private:
  std::filesystem::path dir_;
  std::vector<std::string> names_;
  std::vector<std::string> temp_;
  std::vector<const char*> temp_cstr_;
  std::vector<bool> written_;
  bool staging_ = false;
  bool committed_ = false;
};

}  // namespace vorn
