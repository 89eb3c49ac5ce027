// Text from input files made safe to show in one line of a terminal message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Smartseg {

// `text` with every byte that could break the line or act on a terminal written as an escape:
// control characters (C0, DEL, the C1 range U+0080..U+009F, the line and paragraph separators
// U+2028 and U+2029, and the bidirectional formatting characters U+200E, U+200F, U+202A..U+202E,
// U+2066..U+2069) as \n, \r, \t, \xNN or \uNNNN, and bytes that are not part of valid UTF-8 as
// \xNN. A backslash is doubled, so that the result
// reads back unambiguously. At most `maxCharacters` characters of `text` are shown; "..." marks a
// cut.
std::string DisplayText(std::string_view text, std::size_t maxCharacters = 60);

// `text` whole, escaped as DisplayText does except that a backslash stays single: for a message
// that already quotes names through DisplayText, which must not be escaped twice.
std::string PrintableText(std::string_view text);

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// True when `text` is valid UTF-8 without the control characters that DisplayText escapes.
bool IsPrintableUtf8(std::string_view text);

}  // namespace Smartseg
