// User and system CPU seconds of the process.
#pragma once

namespace vorn {

struct CpuTimes {
  double user = 0;
  double sys = 0;
};

CpuTimes cpu_times();

// Interval readings: each lap returns the time used since the previous one
// (the first since the clock was made).
class CpuClock {
 public:
  CpuClock() : last_(cpu_times()) {}
  CpuTimes lap() {
    CpuTimes now = cpu_times();
    CpuTimes d{now.user - last_.user, now.sys - last_.sys};
    last_ = now;
    total_.user += d.user;
    total_.sys += d.sys;
    return d;
  }
  CpuTimes total() const { return total_; }

 private:
  CpuTimes last_;
  CpuTimes total_{};
};

}  // namespace vorn
