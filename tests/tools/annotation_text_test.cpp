// Untrusted text of annotation files: the strict base64 decoder behind embedded images and masks,
// JSON parsed within bounds, and input quoted safely in messages.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/MessageOf.h"
#include "tests/tools/support/LabelMeFiles.h"
#include "tools/smartseg/Base64.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/JsonDocument.h"

namespace SmartsegTest {
namespace {

using Json = nlohmann::json;
using Smartseg::DisplayText;

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

std::string ParseError(const std::string& text) {
  try {
    Smartseg::ParseJsonDocument(text, "in.json");
  } catch (const Smartseg::WorkError& error) {
    return error.what();
  }
  return "";
}

TEST(JsonDocument, NestingIsBoundedAtSixtyFourLevels) {
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  EXPECT_EQ(ParseError(nested(64)), "");
  EXPECT_EQ(Smartseg::ParseJsonDocument(nested(64), "in.json").size(), 1u);
  const std::string tooDeep =
      "in.json: invalid JSON: arrays and objects are nested more than 64 levels deep";
  EXPECT_EQ(ParseError(nested(65)), tooDeep);
  EXPECT_EQ(ParseError(std::string(1'000'000, '[')), tooDeep);
  EXPECT_EQ(ParseError(std::string(200'000, '{')),
            "in.json: invalid JSON: parse error at line 1, column 2: syntax error while parsing "
            "object key - unexpected '{'; expected string literal");
  std::string objects;
  for (int i = 0; i < 65; ++i) objects += "{\"k\": ";
  EXPECT_EQ(ParseError(objects + "1" + std::string(65, '}')), tooDeep);
}

TEST(JsonDocument, ErrorsAreOneShortPrintableLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"[1e400]", "in.json: invalid JSON: number overflow parsing '1e400' (a number is too large)"},
      {"[-1e400]",
       "in.json: invalid JSON: number overflow parsing '-1e400' (a number is too large)"},
      {R"({"a": )",
       "in.json: invalid JSON: parse error at line 1, column 7: syntax error while "
       "parsing value - unexpected end of input; expected '[', '{', or a literal"},
  };
  for (const auto& [text, message] : cases) EXPECT_EQ(ParseError(text), message) << text;
  // A long string cut by the end of the file is quoted by the parser; the message stays short,
  // and raw bytes of the input are escaped.
  const std::string message = ParseError("[\"" + std::string(100'000, 'x') + "\xff\x1b");
  EXPECT_LE(message.size(), 220u) << message;
  EXPECT_TRUE(Smartseg::IsPrintableUtf8(message)) << message;
  EXPECT_EQ(message.find('\n'), std::string::npos);
}

TEST(JsonDocument, ExcerptsAreShortAsciiAndCompact) {
  EXPECT_EQ(Smartseg::JsonExcerpt(Json::parse(R"([1, 2.5, "a", null, true])")),
            R"([1, 2.5, "a", null, true])");
  EXPECT_EQ(Smartseg::JsonExcerpt(Json::parse(R"({"k": [1, {"x": "y"}]})")),
            R"({"k": [1, {"x": "y"}]})");
  EXPECT_EQ(Smartseg::JsonExcerpt(Json("caf\xc3\xa9\n\x1b")), R"("caf\u00e9\n\u001b")");
  Json many = Json::array();
  for (int i = 0; i < 100'000; ++i) many.push_back(i);
  EXPECT_EQ(Smartseg::JsonExcerpt(many, 20), "[0, 1, 2, 3, 4, 5, 6...");
  EXPECT_EQ(Smartseg::JsonExcerpt(Json(std::string(1'000'000, 'z')), 8), "\"zzzzzzz...");
  // A string cut inside a UTF-8 sequence renders without failing.
  EXPECT_EQ(Smartseg::JsonExcerpt(Json("\xe7\x8c\xab\xe7\x8c\xab"), 3), R"("\u...)");
}

TEST(DisplayText, EscapesWhatCouldActOnATerminal) {
  const std::pair<std::string, std::string> cases[] = {
      {"road", "road"},
      {"caf\xc3\xa9 \xe7\x8c\xab", "caf\xc3\xa9 \xe7\x8c\xab"},
      {"a\nb\rc\td", R"(a\nb\rc\td)"},
      {"\x1b[31mred", R"(\x1b[31mred)"},
      {"del\x7f", R"(del\x7f)"},
      {"c1\xc2\x9b", R"(c1\u009b)"},
      {"rtl\xe2\x80\xae"
       "evil",
       R"(rtl\u202eevil)"},
      {"line\xe2\x80\xa8"
       "break",
       R"(line\u2028break)"},
      {"isolate\xe2\x81\xa6", R"(isolate\u2066)"},
      {"hebrew \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "hebrew \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},
      {"bad\xff\xfe", R"(bad\xff\xfe)"},
      {"cut\xe7\x8c", R"(cut\xe7\x8c)"},
      {"overlong\xc0\xaf", R"(overlong\xc0\xaf)"},
      {"surrogate\xed\xa0\x80", R"(surrogate\xed\xa0\x80)"},
      {R"(back\slash)", R"(back\\slash)"},
  };
  for (const auto& [text, shown] : cases) {
    EXPECT_EQ(DisplayText(text), shown);
    EXPECT_EQ(Smartseg::IsPrintableUtf8(text), text == shown || text == R"(back\slash)") << shown;
  }
  EXPECT_EQ(DisplayText(std::string(100, 'a'), 5), "aaaaa...");
  EXPECT_EQ(DisplayText("\xe7\x8c\xab\xe7\x8c\xab\xe7\x8c\xab", 2), "\xe7\x8c\xab\xe7\x8c\xab...");
  EXPECT_EQ(DisplayText("abc", 3), "abc");
}

// A whole error message already quotes names through DisplayText: its escapes must survive as
// they are, and nothing of it is cut.
TEST(PrintableText, EscapesControlsOnceAndKeepsTheWholeMessage) {
  const std::string quoted = DisplayText("a\\b\n");
  EXPECT_EQ(quoted, R"(a\\b\n)");
  EXPECT_EQ(Smartseg::PrintableText("label '" + quoted + "'"), R"(label 'a\\b\n')");
  EXPECT_EQ(Smartseg::PrintableText("x\x1b[2J\ny\xff"), R"(x\x1b[2J\ny\xff)");
  EXPECT_EQ(Smartseg::PrintableText(std::string(500, 'm')).size(), 500u);
  EXPECT_TRUE(Smartseg::IsValidUtf8("caf\xc3\xa9\n"));
  EXPECT_FALSE(Smartseg::IsValidUtf8("overlong\xc0\xaf"));
  EXPECT_FALSE(Smartseg::IsValidUtf8("cut\xe7\x8c"));
}

}  // namespace
}  // namespace SmartsegTest
