#pragma once
#include "geometry/analysis.h"
#include "report/text_sink.h"

namespace koravel {

// The "Geometry indices:" section: every descriptor with its su (or, under
// --mc, beside it the Monte Carlo mean and sd), and a note for every gap that
// makes a first-order su unreliable. Nothing for a centre without descriptors.
void WriteDescriptorSection(TTextSink& out, const TAnalysis& a);

// The "Shape measures" section: every reference shape of the ligand count,
// ascending, with su; the minimal-distortion paths where both shapes apply;
// the notes on second-order terms and Monte Carlo su.
void WriteShapeSection(TTextSink& out, const TAnalysis& a);

// The "Bond valence:" section: BVS, ECoN, lw, DI and offset with su, the
// parameters behind BVS and the oxidation state they were chosen for.
void WriteBondValenceSection(TTextSink& out, const TAnalysis& a);

}  // namespace koravel
