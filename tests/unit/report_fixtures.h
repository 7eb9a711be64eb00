#pragma once
// Small builders shared by the report tests.
#include <string>
#include <string_view>
#include <vector>

#include "geom/symop.h"
#include "geom/text_sink.h"
#include "sum/ligand.h"
#include "sum/report.h"

namespace koravel::testing_report {

// Collects the written lines.
class TCollectSink : public TTextSink {
 public:
  void WriteLine(std::string_view line) override { Lines.emplace_back(line); }
  std::vector<std::string> Lines;
};

// The report reads only the code of a site; the geometry uses the identity.
inline TSiteRef Site(int atom, const std::string& code = "1_555") {
  TSiteRef s;
  s.Atom = atom;
  s.Op = IdentitySymOp();
  s.Op.Code = code;
  return s;
}

inline TLigand AtomLigand(int atom, const std::string& label, const std::string& element,
                          const std::string& code = "1_555", double dist = 2.0,
                          double distSu = 0) {
  TLigand l;
  l.Site = Site(atom, code);
  l.Label = label;
  l.Element = element;
  l.Dist = dist;
  l.DistSu = distSu;
  l.Points = {l.Site};
  return l;
}

inline TAngleRec Angle(int i, int j, double value, double su, bool fromCif = false) {
  TAngleRec a;
  a.Lig1 = i;
  a.Lig2 = j;
  a.Value = value;
  a.Su = su;
  a.FromCif = fromCif;
  return a;
}

}  // namespace koravel::testing_report
