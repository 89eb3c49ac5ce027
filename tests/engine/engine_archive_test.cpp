#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "tests/engine/FakeModel.h"

namespace EngineTests {
namespace {

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

using Bytes = std::string;

Bytes Save(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream stream;
  Archiving::SaveObject(stream, object);
  return stream.str();
}

template <class T>
std::shared_ptr<T> Load(const Bytes& bytes) {
  std::istringstream stream(bytes);
  auto object = Archiving::LoadObject(stream);
  auto typed = std::dynamic_pointer_cast<T>(object);
  if (!typed) throw std::runtime_error("loaded object has the wrong type");
  return typed;
}

// Little-endian writers for hand-made golden archives (this machine writes its own byte order).
void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU64(Bytes& out, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutF32(Bytes& out, float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  PutU32(out, bits);
}
void PutText(Bytes& out, const std::string& text) {
  PutU64(out, text.size());
  out += text;
}

PixelMask MaskFrom(int width, int height, const std::vector<int>& bits) {
  PixelMask mask(width, height);
  for (int i = 0; i < width * height; ++i) mask.Set(i % width, i / width, bits[i] != 0);
  return mask;
}

std::shared_ptr<SmartSegmenterResult> MakeResult(std::string name, PixelMask mask,
                                                 std::vector<float> probabilities) {
  return std::make_shared<SmartSegmenterResult>(kToken, std::move(name), std::move(mask),
                                                std::move(probabilities));
}

TEST(SmartSegmenterResult, AreaAndBoundsCoverTheMaskPixels) {
  // Pixels (1,0), (3,1) and (2,2) of a 5 x 4 mask.
  const auto result = MakeResult("x", MaskFrom(5, 4, {0, 1, 0, 0, 0,  //
                                                      0, 0, 0, 1, 0,  //
                                                      0, 0, 1, 0, 0,  //
                                                      0, 0, 0, 0, 0}),
                                 {});
  EXPECT_EQ(result->Area(), 3);
  EXPECT_EQ(result->Width(), 5);
  EXPECT_EQ(result->Height(), 4);
  const BoundingBox bounds = result->Bounds();
  EXPECT_DOUBLE_EQ(bounds.X0, 0.5);
  EXPECT_DOUBLE_EQ(bounds.Y0, -0.5);
  EXPECT_DOUBLE_EQ(bounds.X1, 3.5);
  EXPECT_DOUBLE_EQ(bounds.Y1, 2.5);
}

TEST(SmartSegmenterResult, EmptyMaskHasNoAreaAndEmptyBounds) {
  const auto result = MakeResult("x", PixelMask(3, 3), std::vector<float>(9, 0.0f));
  EXPECT_EQ(result->Area(), 0);
  EXPECT_TRUE(result->Bounds().Empty());
}

struct BadResult {
  const char* name;
  std::vector<float> probabilities;
  const char* message;
};

class SmartSegmenterResultArguments : public ::testing::TestWithParam<BadResult> {};

TEST_P(SmartSegmenterResultArguments, AreRefusedWithAClearMessage) {
  try {
    MakeResult("x", PixelMask(2, 2), GetParam().probabilities);
    FAIL() << "expected ArgumentException";
  } catch (const ArgumentException& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmartSegmenterResultArguments,
    ::testing::Values(BadResult{"TooFew", {0.5f, 0.5f, 0.5f}, "one per pixel (4), found 3"},
                      BadResult{"TooMany", {0, 0, 0, 0, 0}, "one per pixel (4), found 5"},
                      BadResult{"AboveOne", {0, 0, 1.5f, 0}, "found 1.500000 at pixel 2"},
                      BadResult{"Negative", {-0.25f, 0, 0, 0}, "found -0.250000 at pixel 0"},
                      BadResult{"NotANumber", {0, 0, 0, std::nanf("")}, "at pixel 3"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SmartSegmenterResult, ArchiveRecordHasTheDocumentedLayout) {
  const auto result = MakeResult("ab", MaskFrom(2, 1, {1, 0}), {0.75f, 0.25f});
  Bytes expected;
  expected += '\x01';  // byte-order flag: little endian
  PutU32(expected, 0x80000001);
  PutText(expected, "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult");
  PutU32(expected, 0x80000001);  // object id, first occurrence
  PutU32(expected, 1);           // SmartSegmenterResult class version
  PutU32(expected, 1);           // ShareableBase class version (empty record)
  PutText(expected, "ab");
  PutU32(expected, 2);  // width
  PutU32(expected, 1);  // height
  PutU64(expected, 2);
  expected += '\x01';
  expected += '\x00';
  PutU64(expected, 2);
  PutF32(expected, 0.75f);
  PutF32(expected, 0.25f);
  EXPECT_EQ(Save(result), expected);
}

TEST(SmartSegmenterResult, RoundTripKeepsEveryField) {
  const auto original =
      MakeResult("disc", MaskFrom(3, 2, {1, 1, 0, 0, 1, 0}), {0.9f, 0.8f, 0.1f, 0.0f, 1.0f, 0.2f});
  const auto loaded = Load<SmartSegmenterResult>(Save(original));
  EXPECT_EQ(loaded->LabelName(), "disc");
  EXPECT_EQ(loaded->Width(), 3);
  EXPECT_EQ(loaded->Height(), 2);
  EXPECT_EQ(loaded->Mask().Data(), original->Mask().Data());
  EXPECT_EQ(loaded->Probabilities(), original->Probabilities());
  EXPECT_EQ(loaded->Area(), 3);
  EXPECT_DOUBLE_EQ(loaded->Bounds().X1, 1.5);
  // Readable through its result interface as well.
  std::istringstream stream(Save(original));
  auto object = Archiving::LoadObject(stream);
  EXPECT_NE(std::dynamic_pointer_cast<SmartCore::ISmartSegmenterResult>(object), nullptr);
}

// Offsets into the record of a 2 x 2 result named "ab" (see the layout test above).
constexpr std::size_t kIdLength = 52;
constexpr std::size_t kVersionOffset = 1 + 4 + 8 + kIdLength + 4;
constexpr std::size_t kWidthOffset = kVersionOffset + 4 + 4 + 8 + 2;
constexpr std::size_t kMaskCountOffset = kWidthOffset + 8;
constexpr std::size_t kMaskOffset = kMaskCountOffset + 8;
constexpr std::size_t kProbabilityOffset = kMaskOffset + 4 + 8;

void Poke32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  Bytes word;
  PutU32(word, value);
  bytes.replace(offset, 4, word);
}

struct CorruptRecord {
  const char* name;
  std::function<void(Bytes&)> corrupt;
  const char* message;
};

class SmartSegmenterResultCorruptArchive : public ::testing::TestWithParam<CorruptRecord> {};

TEST_P(SmartSegmenterResultCorruptArchive, FailsWithAClearMessage) {
  Bytes bytes = Save(MakeResult("ab", MaskFrom(2, 2, {1, 0, 0, 1}), {1, 0, 0, 1}));
  ASSERT_EQ(bytes.substr(kVersionOffset - kIdLength - 4, kIdLength),
            "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult");
  GetParam().corrupt(bytes);
  try {
    Load<SmartSegmenterResult>(bytes);
    FAIL() << "expected an exception";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmartSegmenterResultCorruptArchive,
    ::testing::Values(CorruptRecord{"Truncated", [](Bytes& b) { b.pop_back(); }, "Failed to read"},
                      CorruptRecord{"NewerVersion", [](Bytes& b) { Poke32(b, kVersionOffset, 2); },
                                    "SmartSegmenterResult::serialize()"},
                      CorruptRecord{"NegativeWidth",
                                    [](Bytes& b) { Poke32(b, kWidthOffset, 0xFFFFFFFF); },
                                    "at least 0 x 0, found -1 x 2"},
                      CorruptRecord{"SizeDisagreesWithMask",
                                    [](Bytes& b) { Poke32(b, kWidthOffset, 3); },
                                    "expected 6 mask bytes for 3 x 2 pixels, found 4"},
                      CorruptRecord{"MaskByteNotABit", [](Bytes& b) { b[kMaskOffset + 1] = 2; },
                                    "expected mask bytes 0 or 1, found 2"},
                      // A count far beyond the stream must fail on reading, not on allocating.
                      CorruptRecord{"HugeMaskCount",
                                    [](Bytes& b) {
                                      Poke32(b, kMaskCountOffset, 0xFFFFFFFF);
                                      Poke32(b, kMaskCountOffset + 4, 0x0FFFFFFF);
                                    },
                                    "Failed to read"},
                      CorruptRecord{"ProbabilityAboveOne",
                                    [](Bytes& b) {
                                      Bytes value;
                                      PutF32(value, 1.5f);
                                      b.replace(kProbabilityOffset + 4, 4, value);
                                    },
                                    "expected probabilities in [0, 1], found 1.500000 at pixel 1"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SegmenterArchive, RecordStartsWithTheSegmenterIdAndVersion) {
  auto segmenter =
      std::make_shared<Segmenter>(kToken, std::make_shared<SmartCore::SmartLabel>(kToken, "disc"),
                                  std::make_shared<FakeModel>(kToken, 3), nullptr);
  const Bytes bytes = Save(segmenter);
  Bytes expected;
  expected += '\x01';
  PutU32(expected, 0x80000001);
  PutText(expected, "Tamrix::Vision::SmartSegmenter::Segmenter");
  PutU32(expected, 0x80000001);
  PutU32(expected, 1);  // Segmenter class version
  ASSERT_GE(bytes.size(), expected.size());
  EXPECT_EQ(bytes.substr(0, expected.size()), expected);
}

TEST(SegmenterArchive, RoundTripThroughIObjectKeepsLabelAndModel) {
  auto segmenter = std::make_shared<Segmenter>(
      kToken, std::make_shared<SmartCore::SmartLabel>(kToken, "disc"),
      std::make_shared<FakeModel>(kToken, 42), std::make_shared<FakeAccess>());
  const auto loaded = Load<Segmenter>(Save(segmenter));
  ASSERT_NE(loaded->Label(), nullptr);
  EXPECT_EQ(loaded->Label()->Name(), "disc");
  auto model = std::dynamic_pointer_cast<FakeModel>(loaded->Model());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->tag, 42);
  // The access object belongs to a binding and is not archived.
  EXPECT_EQ(SegmenterTestAccess::Access(*loaded), nullptr);

  auto access = std::make_shared<FakeAccess>();
  SegmenterTestAccess::SetAccessAndParameters(*loaded, access);
  SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*loaded);
  EXPECT_EQ(access->modelsCreated, 0);
  EXPECT_EQ(loaded->Model(), model);
  EXPECT_EQ(model->calls, "Update;");
}

TEST(SegmenterArchive, SegmenterSavedWithoutModelGetsOneFromItsNewAccess) {
  auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "road");
  auto segmenter =
      std::make_shared<Segmenter>(kToken, label, std::make_shared<FakeModel>(kToken, 1), nullptr);
  SegmenterTestAccess::DropModel(*segmenter);
  const auto loaded = Load<Segmenter>(Save(segmenter));
  EXPECT_EQ(loaded->Model(), nullptr);
  auto access = std::make_shared<FakeAccess>();
  SegmenterTestAccess::SetAccessAndParameters(*loaded, access);
  EXPECT_EQ(access->modelsCreated, 1);
  ASSERT_NE(access->lastLabel, nullptr);
  EXPECT_EQ(access->lastLabel->Name(), "road");
  EXPECT_NE(loaded->Model(), nullptr);
}

TEST(SegmenterArchive, RecordWithoutLabelIsRefused) {
  auto segmenter =
      std::make_shared<Segmenter>(kToken, std::make_shared<SmartCore::SmartLabel>(kToken, "x"),
                                  std::make_shared<FakeModel>(kToken, 1), nullptr);
  SegmenterTestAccess::DropLabel(*segmenter);
  const Bytes bytes = Save(segmenter);
  try {
    Load<Segmenter>(bytes);
    FAIL() << "expected cereal::Exception";
  } catch (const cereal::Exception& error) {
    EXPECT_NE(std::string(error.what()).find("expected a label"), std::string::npos)
        << error.what();
  }
}

}  // namespace
}  // namespace EngineTests
