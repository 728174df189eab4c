#include "control/databank_location.hpp"

#include <filesystem>
#include <system_error>

#ifndef VORN_INSTALL_PREFIX
#define VORN_INSTALL_PREFIX "/usr/local"
#endif

namespace vorn {

namespace {
constexpr const char* kUnderPrefix = "share/vorn/databank/vorn_db.txt";
}

std::string installed_databank() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path here = program.parent_path().parent_path() / kUnderPrefix;
    if (std::filesystem::is_regular_file(here, ec)) return here.lexically_normal().string();
  }
  return (std::filesystem::path(VORN_INSTALL_PREFIX) / kUnderPrefix).lexically_normal().string();
}

}  // namespace vorn
