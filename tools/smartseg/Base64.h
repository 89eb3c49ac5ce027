// Decoding of base64 text (RFC 4648, standard alphabet), as LabelMe embeds images and masks.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace Smartseg {

// Base64 text that is not canonical: the message says what was found where.
class Base64Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The bytes that `text` encodes. Line breaks ("\n", "\r\n") between groups are skipped, as
// MIME-style encoders insert them; anything else must be canonical: only the 64 letters of the
// standard alphabet, a length that is a multiple of four, '=' only as the padding of the last
// group, and zero in the bits that padding leaves unused. Throws Base64Error naming the offset
// (in `text`) of the first fault.
std::string DecodeBase64(std::string_view text);

}  // namespace Smartseg
