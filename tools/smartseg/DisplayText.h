// Text from input files made safe to show in one line of a terminal message.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Smartseg {

// `text` with every byte that could break the line or act on a terminal written as an escape:
// control characters (C0, DEL and the C1 range U+0080..U+009F) as \n, \r, \t or \xNN / \u00NN,
// and bytes that are not part of valid UTF-8 as \xNN. A backslash is doubled, so that the result
// reads back unambiguously. At most `maxCharacters` characters of `text` are shown; "..." marks a
// cut.
std::string DisplayText(std::string_view text, std::size_t maxCharacters = 60);

// True when `text` is valid UTF-8 without control characters (C0, DEL, C1).
bool IsPrintableUtf8(std::string_view text);

}  // namespace Smartseg
