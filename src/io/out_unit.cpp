#include "io/out_unit.hpp"

#include "base/error.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

bool OutUnit::open(const std::filesystem::path& path) {
  close();
  if (!file_.open(path)) return false;
  path_ = path;
  file_stream_.clear();
  ff::RecordBuf::attach(file_stream_, &file_);
  sink_ = &file_stream_;
  open_ = true;
  return true;
}

std::string OutUnit::close() {
  std::string why = file_.close();
  sink_ = &null_;
  open_ = false;
  return why;
}

void OutUnit::finish() {
  const std::filesystem::path name = path_.filename();
  const std::string why = close();
  if (!why.empty()) err("vorn", "Error while writing file " + name.string() + " (" + why + ")");
}

}  // namespace vorn
