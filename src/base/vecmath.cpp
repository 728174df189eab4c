#include "base/vecmath.hpp"

#include "base/error.hpp"

namespace vorn {

Vec3 rabs(const Transf& t, int mode, const Vec3& in) {
  if (mode == 0) return matvec(t.M, in);
  if (mode == 1) return matvec(t.Minv, in);
  err("rabs", "iflag is wrong...");
}

}  // namespace vorn
