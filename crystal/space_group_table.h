#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace koravel {

// One setting of a space group as International Tables Vol. A list it
// (Table 4.3.2.1), with its Hall symbol (International Tables Vol. B,
// ch. 1.4).
struct TSpaceGroupSetting {
  int Number;              // 1..230
  std::string_view Hm;     // Hermann-Mauguin symbol, "P 1 21/c 1"
  std::string_view Ext;    // "", or "1"/"2" (origin choice), "H"/"R" (axes)
  std::string_view Hall;   // "-P 2ybc"
};

// The 530 settings: for each group the standard one first, then the other
// monoclinic unique axes and cell choices, orthorhombic axis permutations,
// origin choices 1 and 2 and hexagonal and rhombohedral axes.
std::span<const TSpaceGroupSetting> SpaceGroupSettings();

// Further settings that files use and gemmi reads: centred cells of the
// triclinic groups ("A -1", "I 1") and a few others ("C 4 2 2",
// "F 4/m m m"). HallOfHermannMauguin finds them after the settings above.
std::span<const TSpaceGroupSetting> FurtherSpaceGroupSettings();

// The Hall symbol of a Hermann-Mauguin symbol, nothing when it is not in the
// table. Blanks and underscores do not count, nor ASCII case ("P 1 21/n 1",
// "P121/n1", "p2_1/n"), and a screw axis's subscript may be written
// "2(1)" or "2~1~" ("P2(1)/c", "P2~1~2~1~2~1~"). An extension after ":" chooses the origin ("1", "2")
// or the axes ("H", "R"); "H" or "R" after a blank, and "1" or "2" after a
// blank where the symbol without it is no symbol itself ("F d -3 m 2"), do
// too. Without one, origin choice 1 and hexagonal axes, as International
// Tables and cctbx give them. A monoclinic short symbol ("P 21/c", "C 2/c")
// means unique axis b, cell choice 1; the "e" symbols of International
// Tables A since 2002 ("C m c e", formerly "C m c a") name the standard
// settings of their groups.
std::optional<std::string> HallOfHermannMauguin(std::string_view hm);

}  // namespace koravel
