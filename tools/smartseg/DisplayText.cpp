#include "tools/smartseg/DisplayText.h"

#include <cstdint>

namespace Smartseg {
namespace {

// The length of the valid UTF-8 sequence at `text[at]` and its code point, or 0 when the bytes
// there are not one (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8Sequence(std::string_view text, std::size_t at, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
    return 0;
  return length;
}

// C0, DEL and C1, plus the characters that break lines or reorder the text around them in a
// terminal: the line and paragraph separators and the bidirectional marks, embeddings, overrides
// and isolates.
bool IsControl(std::uint32_t codePoint) {
  return codePoint < 0x20 || codePoint == 0x7F || (codePoint >= 0x80 && codePoint <= 0x9F) ||
         codePoint == 0x200E || codePoint == 0x200F ||
         (codePoint >= 0x2028 && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

std::string Hex(const char* prefix, std::uint32_t value, int digits) {
  const char hex[] = "0123456789abcdef";
  std::string text = prefix;
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += hex[(value >> shift) & 15];
  return text;
}

// Writes the escapes DisplayText and PrintableText share. Doubling the backslash makes the result
// read back unambiguously, which matters for a quoted name; a whole message may already hold the
// escapes of the names it quotes, so it is left as it is there.
std::string Escaped(std::string_view text, std::size_t maxCharacters, bool doubleBackslash) {
  std::string shown;
  shown.reserve(text.size());
  std::size_t characters = 0;
  for (std::size_t at = 0; at < text.size(); ++characters) {
    if (characters == maxCharacters) return shown + "...";
    std::uint32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, at, codePoint);
    if (length == 0) {
      shown += Hex("\\x", static_cast<unsigned char>(text[at]), 2);
      ++at;
      continue;
    }
    if (codePoint == '\n') {
      shown += "\\n";
    } else if (codePoint == '\r') {
      shown += "\\r";
    } else if (codePoint == '\t') {
      shown += "\\t";
    } else if (codePoint == '\\' && doubleBackslash) {
      shown += "\\\\";
    } else if (IsControl(codePoint)) {
      shown += codePoint < 0x80 ? Hex("\\x", codePoint, 2) : Hex("\\u", codePoint, 4);
    } else {
      shown.append(text.substr(at, length));
    }
    at += length;
  }
  return shown;
}

}  // namespace

std::string DisplayText(std::string_view text, std::size_t maxCharacters) {
  return Escaped(text, maxCharacters, true);
}

std::string PrintableText(std::string_view text) {
  return Escaped(text, std::string_view::npos, false);
}

bool IsValidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, at, codePoint);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool IsPrintableUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::uint32_t codePoint = 0;
    const std::size_t length = Utf8Sequence(text, at, codePoint);
    if (length == 0 || IsControl(codePoint)) return false;
    at += length;
  }
  return true;
}

}  // namespace Smartseg
