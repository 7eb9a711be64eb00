#include "sum/ligand_list.h"

#include <cstdio>
#include <vector>

#include "geom/fatal.h"
#include "geom/number_text.h"
#include "geom/text.h"
#include "sum/neighbours.h"
#include "sum/points.h"

namespace koravel {

namespace {

// An angle sum needs at least two ligands; beyond twelve the environment is
// no coordination sphere any more.
constexpr size_t kMinLigands = 2;
constexpr size_t kMaxLigands = 12;

}  // namespace

std::string LigandTableLine(int position, const std::string& label, const std::string& symmetry,
                            const std::string& distance) {
  return "  " + PadLeft(std::to_string(position), 2) + "  " + PadRight(label, 14) + "  " +
         PadRight(symmetry, 10) + "  " + distance;
}

void CompleteLigandList(TLigArray& ligands, const TLigandContext& context, TTextSink& out) {
  for (TLigand& ligand : ligands)
    if (!ligand.IsCentroid) ligand.Points = PointOfSite(ligand.Site);
  if (ligands.empty()) Fatal("no ligands found.");
  if (context.OlexSuffixNote)
    out.WriteLine(
        "Note         : Olex2 symmetry suffixes (_$n) removed; the nearest symmetry image "
        "was used in each case.");
  SortLigandsByDistance(ligands);

  const TWorkingStructure& s = *context.Structure;
  const TPointDef central = PointOfSite(context.CentralSite);
  for (TLigand& ligand : ligands) {
    double su = 0;
    int fixedCount = 0;
    ligand.Dist = DistanceWithSu(s.AtomFrac, s.AtomSu, central, ligand.Points, s.Cell,
                                 context.Cov, su, fixedCount);
    ligand.DistSu = context.HasSu ? su : 0;
  }

  const size_t n = ligands.size();
  if (n >= kMinLigands && n <= kMaxLigands) return;
  out.WriteLine("");
  out.WriteLine("Neighbours found (" + std::to_string(n) + "):");
  for (size_t i = 0; i < n; ++i)
    out.WriteLine(LigandTableLine(static_cast<int>(i) + 1, ligands[i].Label,
                                  ligands[i].Site.Op.Code,
                                  FormatValueSu(ligands[i].Dist, ligands[i].DistSu, 3)));
  out.WriteLine("");
  if (context.AutoLigands)
    Fatal("coordination number " + std::to_string(n) + " - an angle sum needs 2 to " +
          std::to_string(kMaxLigands) +
          " ligands.\n       Adjust the tolerance (--tol=) or specify the ligands explicitly.");
  Fatal("2 to " + std::to_string(kMaxLigands) + " ligands must be specified.");
}

}  // namespace koravel
