// Archive bytes built by hand, for tests that check layouts against independent golden data.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace Tamrix::Testing {

// Numbers in little-endian order, as this machine's portable binary archives write them.
class Bytes {
 public:
  Bytes& U8(std::uint8_t v) {
    data_.push_back(static_cast<char>(v));
    return *this;
  }
  Bytes& U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& U64(std::uint64_t v) {
    for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
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
  std::string data_;
};

}  // namespace Tamrix::Testing
