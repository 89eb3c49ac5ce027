#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/ObjectArchive.h"
#include "tests/engine/FakeModel.h"
#include "tests/support/ArchiveBytes.h"

namespace EngineTests {
namespace {

using Tamrix::Testing::Bytes;

std::string Save(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream stream;
  Archiving::SaveObject(stream, object);
  return stream.str();
}

template <class T>
std::shared_ptr<T> Load(const std::string& bytes) {
  std::istringstream stream(bytes);
  auto typed = std::dynamic_pointer_cast<T>(Archiving::LoadObject(stream));
  if (!typed) throw std::runtime_error("loaded object has the wrong type");
  return typed;
}

std::uint32_t Bits(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return bits;
}

// A result whose mask is `bits`, row by row.
std::shared_ptr<SmartSegmenterResult> MakeResult(std::string name, int width, int height,
                                                 const std::vector<int>& bits,
                                                 std::vector<float> probabilities) {
  PixelMask mask(width, height);
  for (int i = 0; i < width * height; ++i) mask.Set(i % width, i / width, bits[i] != 0);
  return std::make_shared<SmartSegmenterResult>(kToken, std::move(name), std::move(mask),
                                                std::move(probabilities));
}

TEST(SmartSegmenterResult, AreaAndBoundsCoverTheMaskPixels) {
  // Pixels (1,0), (3,1) and (2,2) of a 5 x 4 mask.
  const auto result =
      MakeResult("x", 5, 4, {0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, {});
  EXPECT_EQ(result->Area(), 3);
  EXPECT_EQ(std::make_pair(result->Width(), result->Height()), std::make_pair(5, 4));
  const BoundingBox b = result->Bounds();
  EXPECT_EQ(std::vector<double>({b.X0, b.Y0, b.X1, b.Y1}),
            std::vector<double>({0.5, -0.5, 3.5, 2.5}));
  const auto empty = MakeResult("x", 3, 3, std::vector<int>(9, 0), std::vector<float>(9, 0.0f));
  EXPECT_EQ(empty->Area(), 0);
  EXPECT_TRUE(empty->Bounds().Empty());
  // No pixels at all, however many rows: nothing to count and no bounds.
  const auto noPixels = MakeResult("x", 0, 2147483647, {}, {});
  EXPECT_EQ(noPixels->Area(), 0);
  EXPECT_TRUE(noPixels->Bounds().Empty());
}

TEST(SmartSegmenterResult, BadProbabilitiesAreRefusedWithAClearMessage) {
  const std::vector<std::pair<std::vector<float>, const char*>> cases = {
      {{0.5f, 0.5f, 0.5f}, "one per pixel (4), found 3"},
      {{0, 0, 0, 0, 0}, "one per pixel (4), found 5"},
      {{0, 0, 1.5f, 0}, "found 1.500000 at pixel 2"},
      {{-0.25f, 0, 0, 0}, "found -0.250000 at pixel 0"},
      {{0, 0, 0, std::nanf("")}, "at pixel 3"},
  };
  for (const auto& [probabilities, message] : cases) {
    const std::string error = MessageOf<ArgumentException>([&, &probabilities = probabilities] {
      MakeResult("x", 2, 2, {0, 0, 0, 0}, probabilities);
    });
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(SmartSegmenterResult, CompactLevelsReadAsProbabilitiesAndMaskAndArchiveAsFloats) {
  // 3 x 2; levels 127 and 128 straddle the mask's threshold (probability 0.5).
  const std::vector<std::uint8_t> levels = {0, 51, 255, 127, 128, 0};
  const auto compact = std::make_shared<SmartSegmenterResult>(kToken, "c", 3, 2, levels);
  // Single values are read from the levels; nothing is unpacked for them.
  EXPECT_EQ(compact->ProbabilityAt(1), 51.0f / 255.0f);
  EXPECT_EQ(compact->ProbabilityAt(2), 1.0f);
  const std::vector<bool> inMask = {false, false, true, false, true, false};
  for (std::size_t i = 0; i < levels.size(); ++i) EXPECT_EQ(compact->MaskAt(i), inMask[i]) << i;
  EXPECT_EQ(compact->Area(), 2);
  const BoundingBox b = compact->Bounds();
  EXPECT_EQ(std::vector<double>({b.X0, b.Y0, b.X1, b.Y1}),
            std::vector<double>({0.5, -0.5, 2.5, 1.5}));
  std::vector<float> unpacked;
  for (auto level : levels) unpacked.push_back(static_cast<float>(level) / 255.0f);
  EXPECT_EQ(compact->Probabilities(), unpacked);
  EXPECT_EQ(compact->Mask().Data(), std::vector<std::uint8_t>({0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(std::make_pair(compact->Width(), compact->Height()), std::make_pair(3, 2));
  // Rows read the same values, from compact and float results alike.
  const auto asFloats = MakeResult("c", 3, 2, {0, 0, 1, 0, 1, 0}, unpacked);
  for (const auto& result : {compact, asFloats}) {
    for (int y = 0; y < 2; ++y) {
      std::vector<std::uint8_t> maskRow(3, 9);
      std::vector<float> probabilityRow(3, -1.0f);
      result->MaskRow(y, maskRow.data());
      result->ProbabilityRow(y, probabilityRow.data());
      for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(maskRow[x], inMask[y * 3 + x] ? 1 : 0) << x << ", " << y;
        EXPECT_EQ(probabilityRow[x], unpacked[y * 3 + x]) << x << ", " << y;
      }
    }
  }
  // The record is the one a float result of the same values writes.
  EXPECT_EQ(Save(compact), Save(MakeResult("c", 3, 2, {0, 0, 1, 0, 1, 0}, unpacked)));
  EXPECT_EQ(Load<SmartSegmenterResult>(Save(compact))->Probabilities(), unpacked);

  // Without probabilities a pixel's probability is its mask value.
  const auto bare = MakeResult("b", 2, 1, {1, 0}, {});
  EXPECT_EQ(std::make_pair(bare->ProbabilityAt(0), bare->ProbabilityAt(1)),
            std::make_pair(1.0f, 0.0f));
  EXPECT_TRUE(bare->Probabilities().empty());

  for (const auto& [make, message] : std::vector<std::pair<std::function<void()>, std::string>>{
           {[] { SmartSegmenterResult(kToken, "x", 2, 2, std::vector<std::uint8_t>(3)); },
            "one probability level per pixel (4), found 3"},
           {[] { SmartSegmenterResult(kToken, "x", -1, 2, {}); }, "found -1 x 2"}}) {
    const std::string error = MessageOf<ArgumentException>(make);
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(LevelBlocks, PacksUniformBlocksToOneLevelAndReadsEveryPixelBack) {
  // 37 x 21: blocks of 16 x 16 with partial ones at the right and bottom edges. Zero except a
  // disc of 255 and one pixel of level 7 in the top-left block.
  const int width = 37, height = 21;
  std::vector<std::uint8_t> levels(static_cast<std::size_t>(width) * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if ((x - 26) * (x - 26) + (y - 10) * (y - 10) < 30) levels[y * width + x] = 255;
    }
  }
  levels[3 * width + 5] = 7;
  const LevelBlocks packed(levels.data(), width, height);
  std::vector<std::uint8_t> unpacked(levels.size(), 99);
  packed.Unpack(unpacked.data());
  EXPECT_EQ(unpacked, levels);
  for (std::size_t i = 0; i < levels.size(); ++i) ASSERT_EQ(packed.At(i), levels[i]) << i;
  // Six blocks, of which the disc (x 21..31, y 5..15) and the lone pixel touch two, kept whole;
  // the other four are uniform.
  EXPECT_EQ(packed.Bytes(), 6 * sizeof(std::uint32_t) + 2 * 256u);

  // An all-zero plane keeps one entry per block and nothing else; a plane without pixels nothing.
  const std::vector<std::uint8_t> zeros(512 * 512, 0);
  EXPECT_EQ(LevelBlocks(zeros.data(), 512, 512).Bytes(), 32 * 32 * sizeof(std::uint32_t));
  EXPECT_EQ(LevelBlocks(nullptr, 0, 2147483647).Bytes(), 0u);
}

TEST(SmartSegmenterResult, CompactLevelsUnpackOnceForConcurrentReaders) {
  const auto compact = std::make_shared<SmartSegmenterResult>(
      kToken, "c", 256, 64, std::vector<std::uint8_t>(256 * 64, 128));
  std::vector<const std::vector<float>*> probabilities(4);
  std::vector<const PixelMask*> masks(4);
  std::vector<std::thread> readers;
  for (std::size_t i = 0; i < probabilities.size(); ++i) {
    readers.emplace_back([&, i] {
      probabilities[i] = &compact->Probabilities();
      masks[i] = &compact->Mask();
    });
  }
  for (auto& reader : readers) reader.join();
  for (std::size_t i = 0; i < probabilities.size(); ++i) {
    EXPECT_EQ(probabilities[i], probabilities[0]);
    EXPECT_EQ(masks[i], masks[0]);
    ASSERT_EQ(probabilities[i]->size(), 256u * 64u);
    EXPECT_EQ(probabilities[i]->back(), 128.0f / 255.0f);
    EXPECT_EQ(masks[i]->Count(), 256 * 64);
  }
}

TEST(SmartSegmenterResult, ArchiveRecordHasTheDocumentedLayoutAndRoundTrips) {
  Bytes expected;
  expected.U8(1).U32(0x80000001).Text("Tamrix::Vision::SmartSegmenter::SmartSegmenterResult");
  expected.U32(0x80000001).U32(1).U32(1);  // object id; own and ShareableBase versions
  expected.Text("ab").U32(2).U32(1).U64(2).U8(1).U8(0).U64(2).U32(Bits(0.75f)).U32(Bits(0.25f));
  EXPECT_EQ(Save(MakeResult("ab", 2, 1, {1, 0}, {0.75f, 0.25f})), expected.str());

  const auto original = MakeResult("disc", 3, 2, {1, 1, 0, 0, 1, 0}, {.9f, .8f, .1f, 0, 1, .2f});
  const auto loaded = Load<SmartSegmenterResult>(Save(original));
  EXPECT_EQ(loaded->LabelName(), "disc");
  EXPECT_EQ(std::make_pair(loaded->Width(), loaded->Height()), std::make_pair(3, 2));
  EXPECT_EQ(loaded->Mask().Data(), original->Mask().Data());
  EXPECT_EQ(loaded->Probabilities(), original->Probabilities());
  EXPECT_EQ(loaded->Area(), 3);
  EXPECT_DOUBLE_EQ(loaded->Bounds().X1, 1.5);
}

// Offsets into the record of a 2 x 2 result named "ab" (see the layout test above).
constexpr std::size_t kIdLength = 52;
constexpr std::size_t kVersionOffset = 1 + 4 + 8 + kIdLength + 4;
constexpr std::size_t kWidthOffset = kVersionOffset + 4 + 4 + 8 + 2;
constexpr std::size_t kMaskCountOffset = kWidthOffset + 8;
constexpr std::size_t kMaskOffset = kMaskCountOffset + 8;
constexpr std::size_t kProbabilityOffset = kMaskOffset + 4 + 8;

void Poke32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  bytes.replace(offset, 4, Bytes().U32(value).str());
}

TEST(SmartSegmenterResult, CorruptRecordsFailWithAClearMessage) {
  const std::string valid = Save(MakeResult("ab", 2, 2, {1, 0, 0, 1}, {1, 0, 0, 1}));
  ASSERT_EQ(valid.substr(kVersionOffset - kIdLength - 4, kIdLength),
            "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult");
  const std::vector<std::pair<std::function<void(std::string&)>, const char*>> cases = {
      {[](std::string& b) { b.pop_back(); }, "Failed to read"},
      {[](std::string& b) { Poke32(b, kVersionOffset, 2); }, "SmartSegmenterResult::serialize()"},
      {[](std::string& b) { Poke32(b, kWidthOffset, 0xFFFFFFFF); }, "at least 0 x 0, found -1 x 2"},
      {[](std::string& b) { Poke32(b, kWidthOffset, 3); },
       "expected 6 mask bytes for 3 x 2 pixels, found 4"},
      {[](std::string& b) { b[kMaskOffset + 1] = 2; }, "expected mask bytes 0 or 1, found 2"},
      // A count far beyond the stream must fail on reading, not on allocating.
      {[](std::string& b) {
         Poke32(b, kMaskCountOffset, 0xFFFFFFFF);
         Poke32(b, kMaskCountOffset + 4, 0x0FFFFFFF);
       },
       "Failed to read"},
      {[](std::string& b) { Poke32(b, kProbabilityOffset + 4, Bits(1.5f)); },
       "expected probabilities in [0, 1], found 1.500000 at pixel 1"},
  };
  for (const auto& [corrupt, message] : cases) {
    std::string bytes = valid;
    corrupt(bytes);
    const std::string error = MessageOf([&] { Load<SmartSegmenterResult>(bytes); });
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(SegmenterArchive, RecordStartsWithIdAndVersionAndKeepsLabelAndModelButNotAccess) {
  auto segmenter = std::make_shared<Segmenter>(kToken, MakeLabel("disc"),
                                               std::make_shared<FakeModel>(kToken, 42),
                                               std::make_shared<FakeAccess>());
  const std::string bytes = Save(segmenter);
  Bytes head;
  head.U8(1).U32(0x80000001).Text("Tamrix::Vision::SmartSegmenter::Segmenter");
  head.U32(0x80000001).U32(1);  // object id, Segmenter class version
  EXPECT_EQ(bytes.substr(0, head.str().size()), head.str());
  const auto loaded = Load<Segmenter>(bytes);
  ASSERT_NE(loaded->Label(), nullptr);
  EXPECT_EQ(loaded->Label()->Name(), "disc");
  auto model = std::dynamic_pointer_cast<FakeModel>(loaded->Model());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->tag, 42);
  // The access object belongs to a binding and is not archived.
  EXPECT_EQ(Access::Access(*loaded), nullptr);
  auto access = std::make_shared<FakeAccess>();
  Access::SetAccessAndParameters(*loaded, access);
  Access::UpdateTrainingParametersAndTrainCache(*loaded);
  EXPECT_EQ(access->modelsCreated, 0);
  EXPECT_EQ(loaded->Model(), model);
  EXPECT_EQ(model->calls, "Update;");
}

// A segmenter saved without model asks its new access object for one, for its loaded label; a
// record without label is refused.
TEST(SegmenterArchive, RecordWithoutModelGetsOneFromItsNewAccessAndOneWithoutLabelIsRefused) {
  auto segmenter = std::make_shared<Segmenter>(kToken, MakeLabel("road"),
                                               std::make_shared<FakeModel>(kToken, 1), nullptr);
  Access::DropModel(*segmenter);
  const auto loaded = Load<Segmenter>(Save(segmenter));
  EXPECT_EQ(loaded->Model(), nullptr);
  auto access = std::make_shared<FakeAccess>();
  Access::SetAccessAndParameters(*loaded, access);
  EXPECT_EQ(access->modelsCreated, 1);
  ASSERT_NE(access->lastLabel, nullptr);
  EXPECT_EQ(access->lastLabel->Name(), "road");
  auto model = std::dynamic_pointer_cast<FakeModel>(loaded->Model());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->tag, 101);
  loaded->Train(SmartCore::SmartTrainDataDatabase(kToken), 3.0);
  EXPECT_EQ(model->calls, "Train(road,3.000000);");
  Access::DropLabel(*segmenter);
  const std::string error = MessageOf<cereal::Exception>([&] { Load<Segmenter>(Save(segmenter)); });
  EXPECT_NE(error.find("expected a label"), std::string::npos) << error;
}

}  // namespace
}  // namespace EngineTests
