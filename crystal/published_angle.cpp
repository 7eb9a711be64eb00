#include "crystal/published_angle.h"

#include "base/text.h"
#include "crystal/sym_code.h"

namespace koravel {

namespace {

// The site a published label and code name: the first atom with the label.
std::optional<TSiteRef> NamedSite(const TStructure& s, const std::string& label,
                                  const std::string& code) {
  const int atom = FindAtom(s, label);
  if (atom < 0) return std::nullopt;
  return ResolveSymCode(s, atom, code);
}

}  // namespace

std::vector<TPublishedAtApex> PublishedAtApex(const TStructure& s,
                                              const std::vector<TPublishedAngle>& published,
                                              const TSiteRef& apex) {
  std::vector<TPublishedAtApex> found;
  const std::string& apexLabel = s.Atoms[static_cast<size_t>(apex.Atom)].Label;
  for (const TPublishedAngle& entry : published) {
    if (!SameText(entry.Label2, apexLabel)) continue;
    const std::optional<TSiteRef> centre = NamedSite(s, entry.Label2, entry.Sym2);
    if (!centre || !SameSite(s, *centre, apex)) continue;
    const std::optional<TSiteRef> end1 = NamedSite(s, entry.Label1, entry.Sym1);
    const std::optional<TSiteRef> end3 = NamedSite(s, entry.Label3, entry.Sym3);
    if (end1 && end3) found.push_back({*end1, *end3, entry.Angle, entry.Su});
  }
  return found;
}

}  // namespace koravel
