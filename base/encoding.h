#pragma once
#include <string>
#include <string_view>

namespace koravel {

// The 8-bit text of a file's bytes, as every reader takes it: a UTF-8
// byte-order mark is skipped (the result is then a view into `bytes`); UTF-16
// with a byte-order mark, in either byte order, as Windows editors and
// PowerShell's ">" write it, is converted to UTF-8 into `storage` (the result
// is then a view into `storage`). Other bytes are taken as they are when
// they are UTF-8 (ASCII included), else as Latin-1 converted to UTF-8.
std::string_view TextFromBytes(std::string_view bytes, std::string& storage);

// 8-bit text as UTF-8: the bytes themselves when they are UTF-8 (ASCII
// included), else taken as Latin-1 and converted into `storage`, which the
// result then views.
std::string_view Utf8Text(std::string_view bytes, std::string& storage);

// UTF-8 <-> UTF-16 for the Windows file and command-line functions. Invalid
// sequences become U+FFFD.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace koravel
