#include "io/output_set.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "base/error.hpp"

namespace vorn {

namespace {

std::string reason(int e) { return std::generic_category().message(e); }

}  // namespace

void OutputSet::begin(const std::filesystem::path& dir, const std::vector<std::string>& names) {
  dir_ = dir;
  names_ = names;
  temp_.clear();
  for (const std::string& n : names_) temp_.push_back((dir_ / (n + std::string(kTemporarySuffix))).string());
  temp_cstr_.clear();
  for (const std::string& t : temp_) temp_cstr_.push_back(t.c_str());
  written_.assign(names_.size(), false);
  staging_ = true;
  committed_ = false;
}

std::filesystem::path OutputSet::path_for(const std::filesystem::path& dir, std::string_view name) {
  if (!staging_) return dir / std::string(name);
  const auto it = std::find(names_.begin(), names_.end(), name);
  if (it == names_.end())
    err("vorn", "internal error: the output file " + std::string(name) +
                    " is not among the program's output files (output_file_names)");
  const auto k = static_cast<std::size_t>(it - names_.begin());
  written_[k] = true;
  return temp_[k];
}

void OutputSet::commit() {
  if (!staging_) return;
  std::string done;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    if (!written_[k]) continue;
    const std::string final_name = (dir_ / names_[k]).string();
    if (::rename(temp_[k].c_str(), final_name.c_str()) != 0) {
      const int e = errno;
      err("vorn", "Unable to put output file " + names_[k] + " in place (" + reason(e) + ")" +
                      (done.empty() ? "" : "; already in place: " + done));
    }
    done += (done.empty() ? "" : ", ") + names_[k];
  }
  // The files of an earlier run that this one did not write would describe
  // another set-up beside this one's.
  for (std::size_t k = 0; k < names_.size(); ++k) {
    if (written_[k]) continue;
    const std::string stale = (dir_ / names_[k]).string();
    if (::unlink(stale.c_str()) != 0 && errno != ENOENT) {
      const int e = errno;
      err("vorn", "Unable to remove " + names_[k] + ", an output file of an earlier run that this run does not write (" +
                      reason(e) + ")");
    }
    ::unlink(temp_[k].c_str());
  }
  staging_ = false;
  committed_ = true;
}

void OutputSet::abandon() noexcept {
  if (!staging_) return;
  for (const std::string& t : temp_) ::unlink(t.c_str());
  staging_ = false;
}

}  // namespace vorn
