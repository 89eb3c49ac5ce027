#include "tools/smartseg/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace Smartseg {
namespace {

// The length of the well-formed UTF-8 sequence starting at `position`, or 0 when the bytes there
// are not one; `codePoint` receives its value.
std::size_t SequenceAt(std::string_view text, std::size_t position, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(position);
  std::size_t length = 0;
  std::uint32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if ((lead & 0xe0) == 0xc0) {
    length = 2;
    codePoint = lead & 0x1f;
    minimum = 0x80;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3;
    codePoint = lead & 0x0f;
    minimum = 0x800;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4;
    codePoint = lead & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (position + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(position + i) & 0xc0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(position + i) & 0x3f);
  }
  if (codePoint < minimum || codePoint > 0x10ffff) return 0;
  if (codePoint >= 0xd800 && codePoint <= 0xdfff) return 0;
  return length;
}

void AppendHex(std::string& out, unsigned char byte) {
  char escaped[5];
  std::snprintf(escaped, sizeof(escaped), "\\x%02x", byte);
  out += escaped;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::uint32_t codePoint = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceAt(text, i, codePoint);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string PrintableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::uint32_t codePoint = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = SequenceAt(text, i, codePoint);
    if (length == 0) {
      AppendHex(out, static_cast<unsigned char>(text[i]));
      ++i;
      continue;
    }
    if (codePoint == '\n') {
      out += "\\n";
    } else if (codePoint == '\r') {
      out += "\\r";
    } else if (codePoint == '\t') {
      out += "\\t";
    } else if (codePoint < 0x20 || codePoint == 0x7f) {
      AppendHex(out, static_cast<unsigned char>(codePoint));
    } else if (codePoint >= 0x80 && codePoint < 0xa0) {
      // C1 controls: U+009B alone starts a terminal escape sequence.
      for (std::size_t k = 0; k < length; ++k)
        AppendHex(out, static_cast<unsigned char>(text[i + k]));
    } else {
      out.append(text, i, length);
    }
    i += length;
  }
  return out;
}

}  // namespace Smartseg
