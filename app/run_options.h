#pragma once
#include <string>

#include "inputs/xyz_naming.h"

namespace koravel {

// The settings of one run, as read from the command line.
struct TRunOptions {
  double Tolerance = 0.40;     // bond tolerance, ångström
  double MinOccupancy = 0.5;   // automatic search only
  double MaxRadius = -1.0;     // search radius; only a value > 0 takes effect
  std::string BlockName;       // empty: choose the data block automatically
  std::string OutFile;         // empty: no text file
  std::string HtmlFile;        // empty: no HTML page
  TXyzNaming XyzNaming = xnOlex;
  bool Brief = false;
  bool CalcOnly = false;       // ignore the CIF's _geom_angle list
};

}  // namespace koravel
