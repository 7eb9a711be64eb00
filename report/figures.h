#pragma once
#include <string>

#include "crystal/structure.h"
#include "geometry/analysis.h"

namespace koravel {

// The drawings of a run's page, as HTML figures with inline SVG: the
// coordination sphere, and the quantities on their scales with their su.
// Empty for an analysis that is not complete.
std::string RunFigures(const TStructure& s, const TAnalysis& a);

}  // namespace koravel
