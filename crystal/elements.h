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
std::string ElementFromLabel(std::string_view label);

// The metals: the alkali and alkaline-earth metals, the transition metals
// (groups 3 to 12), the post-transition metals Al, Ga, In, Sn, Tl, Pb, Bi
// and Po, the lanthanides and the actinides.
bool IsMetal(std::string_view symbol);

}  // namespace koravel
