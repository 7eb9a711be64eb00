#include "crystal/site_constraints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace koravel {
namespace {

using TMove = std::array<TRational, 3>;

// Special positions against their coordinate triplets in International
// Tables A: the site symmetry's operators (besides the identity), the
// coordinates preferred, the free ones and how x, y, z follow each.
TEST(SiteConstraints, ExactAgainstTheCoordinateTriplets) {
  const TRational o{0, 1}, i{1, 1}, two{2, 1}, half{1, 2};
  const struct {
    const char* site;
    std::vector<std::string> ops;
    std::vector<int> preferred, free;
    std::vector<TMove> moves;
  } cases[] = {
      {"general x,y,z", {}, {0, 1, 2}, {0, 1, 2}, {{i, o, o}, {o, i, o}, {o, o, i}}},
      {"mirror x,0,z", {"x,-y,z"}, {0, 1, 2}, {0, 2}, {{i, o, o}, {o, o, i}}},
      {"inversion centre", {"-x,-y,-z"}, {0, 1, 2}, {}, {}},
      {"4-fold axis 0,0,z", {"-y,x,z", "-x,-y,z", "y,-x,z"}, {0, 1, 2}, {2}, {{o, o, i}}},
      {"3-fold axis x,x,x", {"z,x,y", "y,z,x"}, {0, 1, 2}, {0}, {{i, i, i}}},
      {"x,x,x, y preferred", {"z,x,y", "y,z,x"}, {1, 0, 2}, {1}, {{i, i, i}}},
      {"x,x,x, only y listed", {"z,x,y", "y,z,x"}, {1}, {1}, {{i, i, i}}},
      {"x,x,0", {"y,x,z", "x,y,-z", "y,x,-z"}, {0, 1, 2}, {0}, {{i, i, o}}},
      {"hexagonal x,2x,z", {"-x+y,y,z"}, {0, 1, 2}, {0, 2}, {{i, two, o}, {o, o, i}}},
      {"x,2x,z, y preferred", {"-x+y,y,z"}, {1, 0, 2}, {1, 2}, {{half, i, o}, {o, o, i}}},
      // y is fixed; x and z, not listed, stay where they are.
      {"mirror, only y listed", {"x,-y,z"}, {1}, {}, {}},
  };
  for (const auto& c : cases) {
    std::vector<TSymOp> ops;
    for (const std::string& text : c.ops) ops.push_back(ParseSymOp(text, "test"));
    const TSiteConstraints s = SiteConstraints(ops, c.preferred);
    EXPECT_EQ(s.Free, c.free) << c.site;
    EXPECT_EQ(s.Moves, c.moves) << c.site;
  }
}

}  // namespace
}  // namespace koravel
