#pragma once
#include <vector>

#include "geom/text_sink.h"
#include "sum/ligand.h"
#include "sum/points.h"
#include "sum/report.h"

namespace koravel {

// The notes that close the report body. Each writes its own leading empty
// line where it has one.

// True when coordinates or cell parameters with an su entered the sum and
// its su still came out zero: symmetry holds the sum at its value.
bool SumFixedBySymmetry(const TReportInput& in, const TSumResult& r);

// Near an extremum of the sum the second-order term carries the su; says how
// much, and the expectation shift.
void WriteNonLinearityNote(TTextSink& out, const TReportInput& in, const TSumResult& r);

// Riding hydrogen atoms make their angles a constraint, not an observation.
void WriteHydrogenNote(TTextSink& out, const TLigArray& ligands);

// Where the su come from (or why there are none).
void WriteSuNotes(TTextSink& out, const TReportInput& in, const std::vector<TAngleRec>& angles,
                  const TSumResult& r);

}  // namespace koravel
