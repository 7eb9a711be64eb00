#pragma once
#include <string>
#include <string_view>

namespace koravel {

// The 8-bit text of a CIF file's bytes. A UTF-8 byte-order mark is skipped
// (the result is then a view into `bytes`); UTF-16 with a byte-order mark, in
// either byte order, is converted to UTF-8 into `storage` (the result is then
// a view into `storage`). Other bytes are taken as they are.
std::string_view CifTextFromBytes(std::string_view bytes, std::string& storage);

// Whether the bytes begin with a UTF-16 byte-order mark (either byte order).
bool HasUtf16ByteOrderMark(std::string_view bytes);

}  // namespace koravel
