#pragma once
#include <string>
#include <vector>

#include "geometry/indices.h"
#include "geometry/sphere.h"
#include "io/input.h"
#include "ligands/ligands.h"
#include "report/text_sink.h"

namespace koravel {

// The header notes: Olex2 suffixes removed, automatic ligands dropped for
// occupying the place of another.
void WriteNameNotes(TTextSink& out, const TStructure& s, const TCentre& centre,
                    const TLigandSet& ligands);

// The neighbours found, listed before a coordination-number error.
void WriteNeighbourTable(TTextSink& out, const TInput& in, const std::vector<TLigand>& ligands,
                         const std::vector<TValueSu>& distances);

// "Coordination number: n  ->  m L-M-L angle(s)".
void WriteCoordinationLine(TTextSink& out, size_t ligandCount);

// The report body, from the empty line before "Ligands (n):" to the su notes.
void WriteReport(TTextSink& out, const TInput& in, const TCentre& centre,
                 const std::vector<TLigand>& ligands, const std::vector<TValueSu>& distances,
                 const TAngles& angles, const TIndices& indices);

// The one-line result of the run (--brief).
std::string BriefLine(const TInput& in, const TCentre& centre, const std::vector<TLigand>& ligands,
                      const TAngles& angles);

// The classification of a three-coordinate centre by its angle sum (planar
// within 3 su, nearly planar, flattened pyramidal, pyramidal; planar (fixed
// by symmetry) for a sum that symmetry holds at 360); "" when there is no su
// to judge by.
std::string Planarity(const TInput& in, const TPropagated& sum);

}  // namespace koravel
