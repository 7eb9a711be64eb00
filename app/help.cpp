#include "app/command_line.h"

namespace koravel {

namespace {

// The help text, one entry per output line.
const char* const kHelpLines[] = {
    "Koravel 1.0 - sum of the bond angles around an atom",
    "",
    "Usage:",
    "  koravel <file.cif> <central atom> [ligand1 ligand2 ...] [options]",
    "",
    "Calculates the sum of all L-M-L angles around the central atom",
    "(for three ligands: 360 deg = planar) with its standard uncertainty.",
    "The su of the sum is propagated directly from the coordinates and the",
    "cell: the individual angles share the central atom and are correlated,",
    "so their su cannot simply be combined.",
    "",
    "If the CIF does not exist, a SHELX file of the same stem is used",
    "instead (.res first, then .ins). A res/ins file holds no standard",
    "uncertainties of its own, so the result is then reported without su",
    "and a warning is printed - unless a SHELXL matrix file of the same",
    "stem (.mat) lies beside it. That file carries the full",
    "variance-covariance matrix, from which correct su are obtained.",
    "",
    "Without ligand arguments the ligands are determined automatically",
    "(criterion: d(A-B) <= r_cov(A) + r_cov(B) + tolerance).",
    "With ligand arguments only the given atoms are used (at least 2).",
    "",
    "Atom names may also be passed as a single string",
    "(\"N1 C1 C2 C3\"); Olex2 suffixes _$n and $n (C1_2$3) are ignored.",
    "Atoms of a SHELX residue (RESI) are named label_number (C1_2), as",
    "SHELXL and Olex2 name them.",
    "SHELX labels ending in \" (Mg\", O1\") are accepted as they are;",
    "where a \" cannot be passed, write two apostrophes instead (Mg'').",
    "",
    "An XYZ file (e.g. a calculated structure shown in Olex2) is read as",
    "Cartesian coordinates without cell, symmetry or su, so all values are",
    "then given without su. If the first column holds only the element, the",
    "atoms are numbered as Olex2 numbers them: the k-th atom line gets",
    "element + (k + 1), so the first atom is e.g. Si2; labels in the file",
    "(C12, Fe1) are used as they are.",
    "",
    "Symmetry-equivalent ligands can be given as \"label#n_klm\"",
    "(e.g. O1#2_655). Without a code the nearest image is used.",
    "",
    "A centroid (unit weights, as Olex2 \"cent\") is given as a ligand by",
    "listing its atoms in square brackets: [C1 C2 C3 C4 C5] (also cent(...),",
    "Cg(...) or (...), which cannot pass through Olex2's command line).",
    "Its su follow from those of its atoms, e.g.",
    "  koravel fc.cif Fe1 [C1 C2 C3 C4 C5] [C6 C7 C8 C9 C10]",
    "",
    "Options:",
    "  --tol=<A>     bond tolerance in Angstrom (default 0.40)",
    "  --occ=<x>     minimum occupancy for the automatic search (default 0.5)",
    "  --max=<A>     maximum search radius in Angstrom",
    "  --block=<n>   data block in the CIF (default: chosen automatically)",
    "  --xyznames=olex|position|element",
    "                naming of XYZ atoms: element + (k + 1) for the k-th atom",
    "                line, as Olex2 does (default; first atom = 2), element +",
    "                position in the atom list (first atom = 1), or per element",
    "                (C1, H1, H2, ...)",
    "  --calc        list computed angles only, ignore _geom_angle",
    "  --mc=<N>      check the su of the sum by N Monte Carlo draws of the",
    "                free parameters (100 to 10000000)",
    "  --out=<file>  also write the full report to a text file",
    "  --html=<file> also write the full report as HTML (e.g. for Olex2)",
    "  --brief       print a single result line only",
    "  --help        this help",
    "",
    "The options with a value may also be written without the leading",
    "\"--\" (block=x, html=x, out=x, tol=x, occ=x, max=x, mc=x, xyznames=x).",
    "Olex2 needs this: its exec command reads an argument -name=value, and",
    "name=value with a function call or a blank in the value, as an option",
    "of its own and stops at one it does not know.",
};

}  // namespace

void ShowHelp(TTextSink& out) {
  for (const char* line : kHelpLines) out.WriteLine(line);
}

}  // namespace koravel
