#include "crystal/space_group_table.h"

#include <gtest/gtest.h>

#include <string>

namespace koravel {
namespace {

TEST(SpaceGroupTable, EverySettingIsFoundUnderItsOwnSymbol) {
  for (const TSpaceGroupSetting& s : SpaceGroupSettings()) {
    std::string name(s.Hm);
    if (!s.Ext.empty()) name.append(":").append(s.Ext);
    EXPECT_EQ(HallOfHermannMauguin(name), std::string(s.Hall)) << name;
  }
  EXPECT_EQ(SpaceGroupSettings().size(), 530u);
}

TEST(SpaceGroupTable, SymbolsAsFilesWriteThem) {
  const struct { const char* hm; const char* hall; } cases[] = {
      {"P 1 21/n 1", "-P 2yn"},
      {"P121/n1", "-P 2yn"},
      {"P2_1/c", "-P 2ybc"},
      {" p 21/C ", "-P 2ybc"},
      {"P 21/n", "-P 2yn"},
      {"C 2/c", "-C 2yc"},
      {"I 2/a", "-I 2ya"},
      {"P 1 1 21/b", "-P 2bc"},
      {"P n m a", "-P 2ac 2n"},
      {"Pnnn", "P 2 2 -1n"},       // origin choice 1 unless told otherwise
      {"P n n n:2", "-P 2ab 2bc"},
      {"F d -3 m 2", "-F 4vw 2vw 3"},
      {"Fd-3m:1", "F 4d 2 3 -1d"},
      {"R 3", "R 3"},              // hexagonal axes unless told otherwise
      {"R -3:R", "-P 3*"},
      {"R -3 R", "-P 3*"},
      {"R 3 2 :H", "R 3 2\""},
      {"C m c e", "-C 2ac 2"},      // the former C m c a
      {"Aem2", "A 2 -2b"},
  };
  for (const auto& c : cases) EXPECT_EQ(HallOfHermannMauguin(c.hm), std::string(c.hall)) << c.hm;
}

TEST(SpaceGroupTable, UnknownSymbolsAreNotFound) {
  for (const char* hm : {"", "Q 1", "P 21/b", "P 1:2", "P 1 21/c 1:1", "R 3:", "P 5",
                         "P 21/c 1", "C m c e:R"})
    EXPECT_EQ(HallOfHermannMauguin(hm), std::nullopt) << hm;
}

}  // namespace
}  // namespace koravel
