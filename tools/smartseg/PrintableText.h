// Text from files and command lines made safe to show on a terminal.
#pragma once

#include <string>
#include <string_view>

namespace Smartseg {

// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// `text` with every byte that could disturb a terminal or a one-line report written as an escape:
// control characters (newlines, escape sequences, C1 controls) as \n, \r, \t or \xNN, and bytes
// that are not part of well-formed UTF-8 as \xNN. Printable UTF-8 is kept as it is.
std::string PrintableText(std::string_view text);

}  // namespace Smartseg
