// The atom arguments: names, centroid brackets and keywords, labels with
// brackets, Olex2 suffixes and symmetry codes. Arguments are separated by NUL
// bytes or line breaks, so that both one quoted list and many separate
// arguments are tried.
#include <functional>
#include <string>
#include <vector>

#include "crystal/sym_code.h"
#include "fuzz/fuzz_support.h"
#include "ligands/atom_names.h"
#include "ligands/ligand_args.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  std::vector<std::string> args;
  std::string current;
  for (char c : text) {
    if (c == '\0' || c == '\n') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  args.push_back(current);

  // A structure whose labels hold brackets, as Fe(1), and an Olex2 suffix.
  TStructure s;
  s.SymOps = {IdentitySymOp(), IdentitySymOp()};
  s.SymOps[1].Number = 2;
  for (const char* label : {"Fe(1)", "C1", "N1_$2", "Mg\""}) {
    TAtom atom;
    atom.Label = label;
    s.Atoms.push_back(atom);
  }
  const std::function<bool(std::string_view)> isLabel = [&s](std::string_view word) {
    return FindAtom(s, word) >= 0;
  };

  for (bool withLabels : {false, true}) {
    TLigandArgs parsed;
    if (!fuzz::Survives([&] { parsed = ParseLigandArgs(args, withLabels ? isLabel : nullptr); }))
      continue;
    if (parsed.Names.size() != parsed.Groups.size()) fuzz::Broken();
    for (int g : parsed.Groups)
      if (g < -1 || g >= parsed.GroupCount) fuzz::Broken();
    // What the resolution does with each name before it looks for neighbours.
    for (const std::string& name : parsed.Names) {
      const std::size_t hash = name.find('#');
      const TNameLookup found = FindAtomWithoutSuffix(s, name.substr(0, hash));
      if (found.Atom < -1 || found.Atom >= static_cast<int>(s.Atoms.size())) fuzz::Broken();
      if (hash == std::string::npos || found.Atom < 0) continue;
      const std::string code = NormalizeSymCode(std::string_view(name).substr(hash + 1));
      if (const std::optional<TSiteRef> site = ResolveSymCode(s, found.Atom, code)) {
        if (site->Op < 0 || site->Op >= static_cast<int>(s.SymOps.size())) fuzz::Broken();
        SymCode(s, *site);
      }
    }
  }
  return 0;
}
