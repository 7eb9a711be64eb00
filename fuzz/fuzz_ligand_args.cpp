// The atom arguments: names, centroid brackets and keywords, Olex2 suffixes
// and symmetry codes. Arguments are separated by NUL bytes or line breaks, so
// that both one quoted list and many separate arguments are tried.
#include <string>
#include <vector>

#include "cif/sym_code.h"
#include "fuzz/fuzz_support.h"
#include "geom/sym_code.h"
#include "geom/symop.h"
#include "sum/ligand_args.h"

using namespace koravel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  std::vector<std::string> args = {"file.cif"};
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

  TLigandArgs parsed;
  if (!fuzz::Survives([&] { parsed = ParseLigandArgs(args, 1); })) return 0;
  if (parsed.Names.size() != parsed.Groups.size()) fuzz::Broken();
  for (int g : parsed.Groups)
    if (g < -1 || g >= parsed.GroupCount) fuzz::Broken();

  // What the resolution does with each name before it looks at a structure.
  const std::vector<TSymOp> ops = {IdentitySymOp(), IdentitySymOp()};
  for (const std::string& name : parsed.Names) {
    bool removed = false;
    StripOlexSuffix(name, removed);
    const std::size_t hash = name.find('#');
    if (hash == std::string::npos) continue;
    const std::string code = NormalizeSymCode(std::string_view(name).substr(hash + 1));
    TSymOp op;
    ResolveSymCode(ops, code, op);
  }
  return 0;
}
