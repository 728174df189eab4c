// Each key mask against the harmonics its group leaves unchanged: the group
// is built from its generating operations in its orientation of the local
// frame, and every flag must say whether that harmonic is invariant.
#include "local/key_masks.hpp"

#include <gtest/gtest.h>

#include "base/text.hpp"
#include "support/harmonics.hpp"

namespace vorn::test {
namespace {

TEST(KeyMask, EveryRowAllowsExactlyTheInvariantHarmonics) {
  for (const auto& [name, gens] : named_groups()) {
    const std::string_view mask = key_mask(pad(name, 5));
    ASSERT_FALSE(mask.empty()) << name << " has no row";
    const std::string want = invariant_mask(gens);
    const std::string got(mask);
    if (got == want) continue;
    std::string diff;
    const std::string fg = flags_of(got), fw = flags_of(want);
    for (int k = 0; k < 25; ++k)
      if (fg[static_cast<std::size_t>(k)] != fw[static_cast<std::size_t>(k)])
        diff += std::string(" ") + harmonic_name(k) + (fw[static_cast<std::size_t>(k)] == '1' ? "(allowed)" : "(forbidden)");
    ADD_FAILURE() << name << ": row " << got << ", invariant " << want << ":" << diff;
  }
}

TEST(KeyMask, MonopolesAlwaysRefinedAndNamesOutsideTheTableGiveNothing) {
  for (const auto& [name, gens] : named_groups()) EXPECT_EQ(key_mask(pad(name, 5)).substr(0, 3), "10 ") << name;
  EXPECT_TRUE(key_mask("5m   ").empty());
  EXPECT_TRUE(key_mask("mm2").empty());  // not padded to the stored width
  EXPECT_FALSE(key_mask("-42m ").empty());
}

}  // namespace
}  // namespace vorn::test
