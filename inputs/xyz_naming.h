#pragma once

namespace koravel {

// How the atoms of an XYZ file that carry no label of their own are named.
enum TXyzNaming {
  xnOlex = 0,      // element + line in the file counted from 0, as Olex2 does
  xnPosition = 1,  // element + position in the atom list, first atom = 1
  xnElement = 2,   // element + running number per element: C1, H1, H2, ...
};

}  // namespace koravel
