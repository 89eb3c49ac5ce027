// Wide text to UTF-8, shared by the system-support library (file names for the loader) and the
// framework's string utilities, so that both agree on every character.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

// UTF-8 of `text`, whose wchar_t units are UTF-32 on this platform. Surrogates and values beyond
// U+10FFFF, which no valid text holds, become U+FFFD rather than bytes no decoder would accept.
inline std::string sysUtf8FromWide(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t wide : text) {
    // Through the unsigned type of the same width, so that a negative unit stays out of range.
    auto code = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<wchar_t>>(wide));
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}
