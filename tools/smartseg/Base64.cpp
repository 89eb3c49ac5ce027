#include "tools/smartseg/Base64.h"

#include <array>
#include <cstdint>

namespace Smartseg {
namespace {

constexpr int kNotBase64 = -1;

constexpr std::array<int, 256> MakeDecodeTable() {
  std::array<int, 256> table{};
  for (int& entry : table) entry = kNotBase64;
  const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(alphabet[i])] = i;
  return table;
}

constexpr std::array<int, 256> kDecodeTable = MakeDecodeTable();

std::string Describe(unsigned char c) {
  if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
  const char digits[] = "0123456789ABCDEF";
  return std::string("byte 0x") + digits[c >> 4] + digits[c & 15];
}

[[noreturn]] void Fail(const std::string& what, std::size_t offset) {
  throw Base64Error(what + " at offset " + std::to_string(offset));
}

}  // namespace

std::string DecodeBase64(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  // One group of four letters at a time; `offsets` remembers where each came from so that a fault
  // is reported where it sits in the text, line breaks included.
  std::array<int, 4> values{};
  std::array<std::size_t, 4> offsets{};
  int filled = 0;
  int padding = 0;
  bool ended = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
      if (filled != 0) Fail("a line break inside a group of four letters", i);
      continue;
    }
    if (ended) Fail("text after the padded end", i);
    if (c == '=') {
      // Padding fills the last one or two places of the final group.
      if (filled < 2) Fail("'=' where a letter is expected", i);
      ++padding;
      values[filled] = 0;
      offsets[filled] = i;
      ++filled;
    } else {
      if (kDecodeTable[c] == kNotBase64) Fail(Describe(c) + ", which is not a base64 letter", i);
      if (padding != 0) Fail("a letter after '='", i);
      values[filled] = kDecodeTable[c];
      offsets[filled] = i;
      ++filled;
    }
    if (filled < 4) continue;
    const std::uint32_t group = (static_cast<std::uint32_t>(values[0]) << 18) |
                                (static_cast<std::uint32_t>(values[1]) << 12) |
                                (static_cast<std::uint32_t>(values[2]) << 6) |
                                static_cast<std::uint32_t>(values[3]);
    // Canonical text leaves the bits after the last whole byte zero; an encoder never sets them,
    // so set bits mean the text was damaged or cut.
    const std::uint32_t unused = padding == 2 ? 0xFFFFu : padding == 1 ? 0xFFu : 0u;
    if ((group & unused) != 0) Fail("nonzero bits under the padding", offsets[3 - padding]);
    bytes.push_back(static_cast<char>((group >> 16) & 0xFF));
    if (padding < 2) bytes.push_back(static_cast<char>((group >> 8) & 0xFF));
    if (padding < 1) bytes.push_back(static_cast<char>(group & 0xFF));
    ended = padding != 0;
    filled = 0;
  }
  if (filled != 0) {
    Fail("an incomplete group of " + std::to_string(filled) + " letter(s) (the text is " +
             "cut short or its length is not a multiple of four)",
         offsets[filled - 1]);
  }
  return bytes;
}

}  // namespace Smartseg
