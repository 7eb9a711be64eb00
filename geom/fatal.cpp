#include "geom/fatal.h"

namespace koravel {

void Fatal(const std::string& message) { throw TFatalError(message); }

}  // namespace koravel
