// PNG files built byte by byte, for layouts OpenCV does not write (palette, grey with alpha) and
// for headers that promise more than the file holds.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace SmartsegTest {

inline std::string BigEndian32(std::uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xff);
  return bytes;
}

inline std::string PngChunk(const std::string& type, const std::string& data) {
  const std::string typed = type + data;
  const auto crc =
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
  return BigEndian32(static_cast<std::uint32_t>(data.size())) + typed +
         BigEndian32(static_cast<std::uint32_t>(crc));
}

inline std::string PngSignatureAndHeader(std::uint32_t width, std::uint32_t height, int bitDepth,
                                         int colourType) {
  std::string header = BigEndian32(width) + BigEndian32(height);
  header += static_cast<char>(bitDepth);
  header += static_cast<char>(colourType);
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
  return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header);
}

// A whole PNG: `rows` holds the unfiltered bytes of each row; `palette` (RGB triples) and
// `transparency` (the tRNS chunk's data) are written when not empty.
inline std::string MakePng(std::uint32_t width, std::uint32_t height, int bitDepth, int colourType,
                           const std::vector<std::string>& rows, const std::string& palette = "",
                           const std::string& transparency = "") {
  std::string raw;
  for (const std::string& row : rows) raw += '\0' + row;
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string compressed(size, '\0');
  if (compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
               reinterpret_cast<const Bytef*>(raw.data()),
               static_cast<uLong>(raw.size())) != Z_OK) {
    throw std::runtime_error("compress failed");
  }
  compressed.resize(size);
  std::string png = PngSignatureAndHeader(width, height, bitDepth, colourType);
  if (!palette.empty()) png += PngChunk("PLTE", palette);
  if (!transparency.empty()) png += PngChunk("tRNS", transparency);
  return png + PngChunk("IDAT", compressed) + PngChunk("IEND", "");
}

// A PNG that claims width x height 8-bit grey pixels and holds the data of one row only.
inline std::string PngHeaderOnly(std::uint32_t width, std::uint32_t height, int colourType = 0) {
  return MakePng(width, height, 8, colourType, {std::string(16, '\0')});
}

}  // namespace SmartsegTest
