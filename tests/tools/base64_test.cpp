// The strict base64 decoder behind embedded images and masks.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/MessageOf.h"
#include "tests/tools/support/LabelMeFiles.h"
#include "tools/smartseg/Base64.h"

namespace SmartsegTest {
namespace {

using Smartseg::DecodeBase64;

// The test vectors of RFC 4648, section 10, plus line breaks as MIME encoders place them.
TEST(Base64Decoding, DecodesTheRfcVectors) {
  const std::pair<const char*, const char*> vectors[] = {
      {"", ""},
      {"Zg==", "f"},
      {"Zm8=", "fo"},
      {"Zm9v", "foo"},
      {"Zm9vYg==", "foob"},
      {"Zm9vYmE=", "fooba"},
      {"Zm9vYmFy", "foobar"},
      {"Zm9v\nYmFy\n", "foobar"},
      {"Zm9v\r\nYmE=\r\n", "fooba"},
  };
  for (const auto& [text, bytes] : vectors) EXPECT_EQ(DecodeBase64(text), bytes) << text;
}

TEST(Base64Decoding, RoundTripsEveryByteValueAndLength) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length < 70; ++length) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
    EXPECT_EQ(DecodeBase64(Base64(bytes)), bytes) << length;
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  EXPECT_EQ(DecodeBase64(Base64(all)), all);
}

struct BadText {
  const char* text;
  const char* message;
};

TEST(Base64Decoding, RefusesTextThatIsNotCanonical) {
  const BadText cases[] = {
      {"Zm9v!mFy", "'!', which is not a base64 letter at offset 4"},
      {"Zm9 v", "' ', which is not a base64 letter at offset 3"},
      {"Zm9-", "'-', which is not a base64 letter at offset 3"},  // the URL alphabet
      {"Zm\x80v", "byte 0x80, which is not a base64 letter at offset 2"},
      {"Zm9",
       "an incomplete group of 3 letter(s) (the text is cut short or its length is not a "
       "multiple of four) at offset 2"},
      {"Zm9vY",
       "an incomplete group of 1 letter(s) (the text is cut short or its length is not "
       "a multiple of four) at offset 4"},
      {"=Zm9", "'=' where a letter is expected at offset 0"},
      {"Z===", "'=' where a letter is expected at offset 1"},
      {"Zm=v", "a letter after '=' at offset 3"},
      {"Zg==Zm9v", "text after the padded end at offset 4"},
      {"Zh==", "nonzero bits under the padding at offset 1"},
      {"Zm9=", "nonzero bits under the padding at offset 2"},
      {"Zm\n9v", "a line break inside a group of four letters at offset 2"},
      {"Zm9v\rYmFy", "byte 0x0D, which is not a base64 letter at offset 4"},
  };
  for (const BadText& bad : cases) {
    EXPECT_EQ(Tamrix::Testing::MessageOf<Smartseg::Base64Error>([&] { DecodeBase64(bad.text); }),
              bad.message)
        << bad.text;
  }
}

}  // namespace
}  // namespace SmartsegTest
