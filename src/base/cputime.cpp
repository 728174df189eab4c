#include "base/cputime.hpp"

#include <sys/resource.h>

namespace vorn {

CpuTimes cpu_times() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return CpuTimes{static_cast<double>(ru.ru_utime.tv_sec) + ru.ru_utime.tv_usec * 1e-6,
                  static_cast<double>(ru.ru_stime.tv_sec) + ru.ru_stime.tv_usec * 1e-6};
}

}  // namespace vorn
