#pragma once
#include "geometry/analysis.h"
#include "report/text_sink.h"

namespace koravel {

// The "Geometry indices:" section: every descriptor with its su (or, under
// --mc, beside it the Monte Carlo mean and sd), and a note for every gap that
// makes a first-order su unreliable. Nothing for a centre without descriptors.
void WriteDescriptorSection(TTextSink& out, const TAnalysis& a);

}  // namespace koravel
