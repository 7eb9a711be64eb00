#pragma once
#include <string>

#include "crystal/model.h"
#include "geometry/analysis.h"
#include "io/source.h"
#include "report/text_sink.h"

namespace koravel {

// The report of an analysis, from the notes on the ligands' names to the su
// notes. An incomplete analysis (a coordination number outside 2..12) gets
// the notes and the table of the neighbours found, which precede its error.
void WriteAnalysis(TTextSink& out, const TSource& source, const TModel& model, const TAnalysis& a);

// The atoms the chemical sphere left out, by reason, each reason with the
// atoms that give it: "C1, C3 behind O1, O2; H1 bonded to O5;
// Nd1#2_565 bridged by O3". Of more than kListedNeighbours only the
// nearest are named; the rest are counted.
std::string LeftOutText(const TStructure& s, const std::vector<TLeftOut>& leftOut);

// The one-line result of the run (--brief).
std::string BriefLine(const TSource& source, const TModel& model, const TAnalysis& a);

// The classification of a three-coordinate centre by its angle sum; "" when
// there is none.
std::string PlanarityText(TPlanarity planarity);

}  // namespace koravel
