#pragma once
#include "cif/cif_file.h"
#include "cif/cif_tokenizer.h"

namespace koravel {

// Appends the data blocks, items and loops that the tokens describe to
// `file`. Never fails: quoted tokens where a tag or reserved word is expected,
// stray values, save frames and a tag without a value are skipped.
void BuildCifBlocks(TCifTokenizer& tokens, TCifFile& file);

}  // namespace koravel
