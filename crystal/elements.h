#pragma once
#include <string>
#include <string_view>

namespace koravel {

// The 96 elements hydrogen to curium with their covalent radii (ångström);
// deuterium and tritium (D, T) have hydrogen's radius.
int ElementIndex(std::string_view symbol);       // 1-based, 0 when unknown
bool IsElement(std::string_view symbol);
std::string ElementSymbol(int number);           // "" outside 1..96
double CovalentRadius(std::string_view symbol);  // 1.5 when unknown
std::string LetterPrefix(std::string_view text); // leading ASCII letters
// The element a label names where the file gives no type symbol: Cl2 is
// chlorine, C12 carbon; water labels (Wat1, OW2, Ow3) are oxygen, deuterium
// and tritium labels (Dh1, T1) hydrogen.
std::string ElementFromLabel(std::string_view label);

// Hydrogen and its isotopes, as symbols: H, D, T.
bool IsHydrogen(std::string_view symbol);

// The metals: the alkali and alkaline-earth metals, the transition metals
// (groups 3 to 12), the post-transition metals Al, Ga, In, Sn, Tl, Pb, Bi
// and Po, the lanthanides and the actinides.
bool IsMetal(std::string_view symbol);

}  // namespace koravel
