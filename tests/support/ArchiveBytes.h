// Archive bytes built by hand, for tests that check layouts against independent golden data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace Tamrix::Testing {

// Numbers in little-endian order, as this machine's portable binary archives write them, or in
// big-endian order, as an archive written on such a machine holds them.
class Bytes {
 public:
  explicit Bytes(bool bigEndian = false) : bigEndian_(bigEndian) {}
  Bytes& U8(std::uint8_t v) { return Number(v, 1); }
  Bytes& U16(std::uint16_t v) { return Number(v, 2); }
  Bytes& U32(std::uint32_t v) { return Number(v, 4); }
  Bytes& U64(std::uint64_t v) { return Number(v, 8); }
  Bytes& F64(double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return U64(bits);
  }
  // A string as the archives store it: unsigned 64-bit length, then the bytes.
  Bytes& Text(const std::string& s) {
    U64(s.size());
    data_ += s;
    return *this;
  }
  const std::string& str() const { return data_; }

 private:
  Bytes& Number(std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) {
      data_.push_back(static_cast<char>(v >> (8 * (bigEndian_ ? size - 1 - i : i))));
    }
    return *this;
  }
  bool bigEndian_;
  std::string data_;
};

}  // namespace Tamrix::Testing
