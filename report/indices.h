#pragma once
#include "geometry/indices.h"
#include "report/text_sink.h"

namespace koravel {

// The "Geometry indices:" section: every index with its su (or, under --mc,
// beside it the Monte Carlo mean and sd), and a note for every gap that makes
// a first-order su unreliable. Nothing for a centre without indices.
void WriteIndexSection(TTextSink& out, const TIndices& indices);

}  // namespace koravel
