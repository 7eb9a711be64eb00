#pragma once
#include <string>
#include <vector>

#include "crystal/structure.h"

namespace koravel {

// One bond angle as a CIF publishes it in its _geom_angle loop:
// Label1-Label2-Label3 with Label2 at the apex, each with its site symmetry
// as a full code n_klm.
struct TPublishedAngle {
  std::string Label1, Sym1;
  std::string Label2, Sym2;
  std::string Label3, Sym3;
  double Angle = 0;
  double Su = 0;
};

// A published angle at a given apex, its end atoms resolved to sites.
struct TPublishedAtApex {
  TSiteRef End1, End3;
  double Angle = 0;
  double Su = 0;
};

// The published angles whose apex is the atom at `apex`, in list order,
// their ends resolved to sites. A place is found by position, not by code:
// on a special position several operators (6_455 and 3_556, say) reach the
// same place, and a CIF may name it by either. Entries whose labels or codes
// name nothing in the structure are left out.
std::vector<TPublishedAtApex> PublishedAtApex(const TStructure& s,
                                              const std::vector<TPublishedAngle>& published,
                                              const TSiteRef& apex);

}  // namespace koravel
