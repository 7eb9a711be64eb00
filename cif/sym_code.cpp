#include "cif/sym_code.h"

#include "geom/text.h"

namespace koravel {

std::string NormalizeSymCode(std::string_view value) {
  const std::string_view v = Trim(value);
  if (v.empty() || v == "." || v == "?") return "1_555";
  if (v.find('_') != std::string_view::npos) return std::string(v);
  return std::string(v) + "_555";
}

}  // namespace koravel
