#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/LineSegment.h"
#include "platform/helper/FeatureBank.h"
#include "platform/helper/RandomForest.h"
#include "tests/helper/HelperTestSupport.h"
#include "tests/support/ArchiveBytes.h"

namespace HelperTests {
namespace {

using Label = std::shared_ptr<SmartCore::SmartLabel>;
constexpr int kSize = 128;
constexpr double kSampleSize = 5.0;
const Disc kTrainDisc{64.0, 60.0, 34.0};
const Disc kTestDisc{58.0, 70.0, 30.0};
const char* kUntrained = "ForestModel(untrained)";

// A textured training scene with sparse annotations: a square inside the disc, two background
// squares and a background scribble.
class ForestModel : public ::testing::Test {
 protected:
  std::shared_ptr<SmartCore::SmartTrainData> Item(const std::shared_ptr<IImage>& picture) const {
    auto item = DiscItem(picture, kTrainDisc, discLabel, backgroundLabel);
    item->AddAssignment(backgroundLabel,
                        std::make_shared<LineSegment>(kToken, Point2D{4, 120}, Point2D{60, 124}));
    return item;
  }
  // A segmenter for `label`, trained on the scene unless `sampleSize` is negative.
  std::shared_ptr<Segmenter> Make(const Label& label, double sampleSize = kSampleSize) const {
    auto segmenter = access->CreateSegmenter(label);
    if (sampleSize >= 0) segmenter->Train(*database, sampleSize);
    return segmenter;
  }
  static std::string ModelBytes(const Segmenter& segmenter) { return SaveBytes(segmenter.Model()); }

  Label discLabel = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  Label backgroundLabel = std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  std::shared_ptr<Image8Grey> image = TexturedScene(kSize, kSize, kTrainDisc, 1);
  std::shared_ptr<SmartCore::SmartTrainDataDatabase> database =
      std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  std::shared_ptr<ISmartSegmenterAccess> access = NewAccess();
  void SetUp() override { database->Add(Item(image)); }
};

TEST_F(ForestModel, SegmentsAHeldOutTexturedSceneFromSparseAnnotations) {
  // Another image, other noise, the disc elsewhere: the model has to generalise.
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 99);
  const auto disc = Make(discLabel)->Execute(*test, nullptr);
  const auto background = Make(backgroundLabel)->Execute(*test, nullptr);
  ASSERT_EQ(disc->LabelName(), "disc");
  ASSERT_EQ(background->LabelName(), "background");
  // Each pixel goes to the label of higher probability.
  const PixelMask truth = kTestDisc.Truth(kSize, kSize);
  PixelMask discMask(kSize, kSize), backgroundMask(kSize, kSize), outside(kSize, kSize);
  for (std::size_t i = 0; i < truth.Data().size(); ++i) {
    discMask.Data()[i] = disc->Probabilities()[i] > background->Probabilities()[i];
    backgroundMask.Data()[i] = !discMask.Data()[i];
    outside.Data()[i] = !truth.Data()[i];
    // The label's own mask is the probability thresholded at 0.5.
    ASSERT_EQ(disc->Mask().Data()[i], disc->Probabilities()[i] >= 0.5f ? 1 : 0);
  }
  EXPECT_GT(IntersectionOverUnion(discMask, truth) + IntersectionOverUnion(backgroundMask, outside),
            2 * 0.9);
  EXPECT_GT(IntersectionOverUnion(disc->Mask(), truth), 0.85);
  EXPECT_EQ(disc->Area(), disc->Mask().Count());
  EXPECT_NEAR(disc->Bounds().X0, kTestDisc.cx - kTestDisc.radius - 0.5, 4.0);
}

// Incremental training keeps samples of known items; each change below must give the model that
// training from scratch gives.
TEST_F(ForestModel, IncrementalTrainingEqualsTrainingFromScratch) {
  auto incremental = Make(discLabel);
  const std::string oneItem = ModelBytes(*incremental);
  const auto expectAsFresh = [&](double sampleSize, const char* step) {
    incremental->Train(*database, sampleSize);
    auto scratch = Make(discLabel, -1);
    scratch->Retrain(*database, sampleSize);
    EXPECT_EQ(ModelBytes(*incremental), ModelBytes(*scratch)) << step;
  };
  database->Add(Item(TexturedScene(kSize, kSize, kTrainDisc, 2)));
  expectAsFresh(kSampleSize, "an added item");
  EXPECT_NE(ModelBytes(*incremental), oneItem);
  database->RemoveAt(1);
  expectAsFresh(kSampleSize, "the item removed again");
  EXPECT_EQ(ModelBytes(*incremental), oneItem);
  expectAsFresh(2.0, "a new sample size makes every cached sample stale");
  EXPECT_NE(incremental->Model()->Describe().find("sample size 2,"), std::string::npos)
      << incremental->Model()->Describe();
  for (int y = 50; y < 70; ++y) {
    for (int x = 50; x < 80; ++x) image->MutableRow(y)[x] = 255 - image->Row(y)[x];
  }
  expectAsFresh(2.0, "changed pixels of a known item");
}

TEST_F(ForestModel, ArchiveRoundTripSegmentsIdenticallyAndKeepsTheTrainCache) {
  auto disc = Make(discLabel);
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 7);
  const auto before = disc->Execute(*test, nullptr);
  auto loaded = std::dynamic_pointer_cast<Segmenter>(LoadBytes(SaveBytes(disc)));
  ASSERT_NE(loaded, nullptr);
  SegmenterTestAccess::SetAccessAndParameters(*loaded, NewAccess());
  SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*loaded);
  EXPECT_EQ(loaded->Model()->Describe(), disc->Model()->Describe());
  const auto after = loaded->Execute(*test, nullptr);
  EXPECT_EQ(after->Probabilities(), before->Probabilities());
  EXPECT_EQ(after->Mask().Data(), before->Mask().Data());
  EXPECT_EQ(ModelBytes(*loaded), ModelBytes(*disc));
  // New item objects with the same content, as after loading an operator: nothing changes.
  auto copy = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  copy->Add(Item(Image8Grey::FromPixels(kSize, kSize, image->Row(0), image->Stride())));
  loaded->Train(*copy, kSampleSize);
  EXPECT_EQ(ModelBytes(*loaded), ModelBytes(*disc));
}

TEST_F(ForestModel, ARegionLimitsTheClassifiedPixels) {
  // Sample size 3 classifies every pixel of whole images too (a region always does).
  auto disc = Make(discLabel, 3.0);
  const auto region = Square(20.5, 30.5, 100.5, 110.5);
  const auto whole = disc->Execute(*image, nullptr);
  const auto limited = disc->Execute(*image, region.get());
  // Outside the region nothing is classified. Inside, the smoothing (radius 9 at sample size 3)
  // averages only over the region, so pixels at least 10 pixels from its edge match the whole
  // image's result exactly.
  int deepPixels = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kSize + x;
      const bool inside = x >= 21 && x <= 100 && y >= 31 && y <= 110;
      const bool deep = x >= 21 + 10 && x <= 100 - 10 && y >= 31 + 10 && y <= 110 - 10;
      deepPixels += deep ? 1 : 0;
      if (!inside) {
        ASSERT_EQ(limited->Probabilities()[i], 0.0f) << x << ", " << y;
        ASSERT_EQ(limited->Mask().Data()[i], 0) << x << ", " << y;
      } else if (deep) {
        ASSERT_EQ(limited->Probabilities()[i], whole->Probabilities()[i]) << x << ", " << y;
      }
    }
  }
  EXPECT_EQ(deepPixels, 60 * 60);
  EXPECT_GT(limited->Area(), 0);
}

TEST_F(ForestModel, UntrainedOrUntaughtModelsGiveAllZeroResults) {
  auto fresh = Make(discLabel, -1);
  database->TrainingData()->Item(0)->setIsTraining(false);
  for (const auto& segmenter : {fresh, Make(discLabel)}) {
    const auto result = segmenter->Execute(*image, nullptr);
    EXPECT_EQ(result->Width(), kSize);
    EXPECT_EQ(result->Area(), 0);
    EXPECT_EQ(result->Probabilities(), std::vector<float>(kSize * kSize, 0.0f));
    EXPECT_EQ(segmenter->Model()->Describe(), kUntrained);
  }
}

TEST_F(ForestModel, AloneInItsItemsALabelIsLearnedAgainstTheRestOfTheImage) {
  const auto bright = DiscImage(kSize, kTrainDisc, 170, 80, 30, 1);
  database->RemoveAt(0);
  database->Add(DiscItem(bright, kTrainDisc, discLabel, nullptr));
  auto disc = Make(discLabel);
  ASSERT_NE(disc->Model()->Describe(), kUntrained);
  // Everything outside the annotated square was taught as "not the label": the square is found,
  // the background is not.
  const auto mask = disc->Execute(*bright, nullptr)->Mask();
  const double half = kTrainDisc.radius * 0.5;
  long long square = 0, covered = 0, outsideDisc = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const bool inSquare =
          std::abs(x - kTrainDisc.cx) < half - 1 && std::abs(y - kTrainDisc.cy) < half - 1;
      square += inSquare;
      covered += inSquare && mask.At(x, y);
      outsideDisc += !kTrainDisc.Contains(x, y) && mask.At(x, y);
    }
  }
  EXPECT_GT(static_cast<double>(covered), 0.95 * static_cast<double>(square));
  EXPECT_LT(outsideDisc, 50);
}

TEST_F(ForestModel, ImagesOfAnotherFormatAreRefusedWithAClearMessage) {
  auto disc = Make(discLabel);
  EXPECT_EQ(MessageOf<VisionException>([&] { disc->Execute(Image16Grey(kToken, 8, 8), nullptr); }),
            "ForestModel for label 'disc': expected a Grey8 image, the format it was trained on, "
            "found a Grey16 image");
  database->Add(Item(std::make_shared<Image16Grey>(kToken, kSize, kSize)));
  auto mixed = Make(discLabel, -1);
  EXPECT_EQ(MessageOf<VisionException>([&] { mixed->Train(*database, kSampleSize); }),
            "ForestModel for label 'disc': expected every training image in one pixel format, "
            "found Grey8 and Grey16 (training item 1)");
  EXPECT_EQ(mixed->Model()->Describe(), kUntrained);
}

// Offsets into the record of a ForestModel saved alone: endianness byte, polymorphic id, name
// length and name, pointer id, the class versions of ForestModel and ShareableBase.
constexpr std::size_t kIdLength = sizeof("Tamrix::Vision::SmartSegmenterHelper::ForestModel") - 1;
constexpr std::size_t kVersionAt = 1 + 4 + 8 + kIdLength + 4;
constexpr std::size_t kSampleSizeAt = kVersionAt + 4 + 4 + 8;  // after the seed
constexpr std::size_t kFormat = kSampleSizeAt + 8, kTrees = kFormat + 4, kDepth = kTrees + 4;
constexpr std::size_t kFeatureCount = kDepth + 4, kRootCount = kFeatureCount + 4;
// One root per tree (the default tree count) of 4 bytes, then the node features' count and the
// first node's feature.
constexpr std::size_t kFirstFeature =
    kRootCount + 8 + Tamrix::Vision::SmartSegmenterHelper::detail::ForestParameters{}.trees * 4 + 8;

std::string Int32(std::int32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(&bytes[0], &value, 4);
  return bytes;
}

TEST_F(ForestModel, CorruptArchivesFailWithAClearMessage) {
  const std::string saved = ModelBytes(*Make(discLabel));
  ASSERT_EQ(saved.substr(13, kIdLength), "Tamrix::Vision::SmartSegmenterHelper::ForestModel");
  // Bytes written at an offset (none: the archive cut there) and a part of the message.
  const struct {
    std::size_t offset;
    std::string bytes;
    const char* message;
  } cases[] = {
      {kSampleSizeAt, std::string("\0\0\0\0\0\0\xF8\x7F", 8),
       "ForestModel: expected a finite sample size of at least 0, found nan"},
      {kFormat, Int32(7), "expected a pixel format 0 to 2, found 7"},
      {kTrees, Int32(0), "expected 1 to 1024 trees, found 0"},
      {kDepth, Int32(99), "expected a depth limit of 1 to 64, found 99"},
      {kFeatureCount, Int32(5),
       "expected 34 features for sample size 5.000000, Grey8 images and bank 3, found 5"},
      {kFormat, Int32(2),
       "expected 102 features for sample size 5.000000, PlanarColor24 images and bank 3, found "
       "34"},
      {kFirstFeature, Int32(9999),
       "ForestModel: Random forest: node 0 of tree 0: expected a feature -1 (leaf) to 33, found "
       "9999"},
      {kRootCount, std::string("\xFF\xFF\xFF\xFF\xFF\xFF\x0F\0", 8), ""},
      {kFirstFeature + 100, "", ""},
  };
  for (const auto& c : cases) {
    std::string bytes = saved;
    if (c.bytes.empty()) {
      bytes.resize(c.offset);
    } else {
      bytes.replace(c.offset, c.bytes.size(), c.bytes);
    }
    const std::string error = MessageOf([&] { LoadBytes(bytes); });
    EXPECT_NE(error, "no exception") << "at " << c.offset;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

std::uint32_t FloatBits(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// The record of a model of sample size 5 on Grey8 images whose one tree splits on feature 27 at
// `threshold` (a leaf of probability 0 below, 1 above), with an empty train cache: as models of
// bank 1 (version 1, no bank at the end) and bank 2 wrote it, and as bank 3 would with 34 features.
std::string OldRecord(const std::string& saved, std::uint32_t version, int bank, float threshold) {
  std::string record = saved.substr(0, kFeatureCount);
  record.replace(kVersionAt, 4, Int32(static_cast<std::int32_t>(version)));
  Tamrix::Testing::Bytes forest;
  forest.U32(bank == 3 ? 34 : 28);
  forest.U64(1).U32(0);                     // roots
  forest.U64(3).U32(27).U32(~0u).U32(~0u);  // features; leaves are -1
  forest.U64(3).U32(FloatBits(threshold)).U32(0).U32(0);
  forest.U64(3).U32(1).U32(0).U32(0);  // children
  forest.U64(3).U32(0).U32(0).U32(FloatBits(1.0f));
  forest.U64(0);  // train cache
  if (version >= 2) forest.U32(static_cast<std::uint32_t>(bank));
  return record + forest.str();
}

TEST_F(ForestModel, OlderBanksAndFirstVersionRecordsLoadAndNewerVersionsAreRefused) {
  auto disc = Make(discLabel);
  const std::string saved = ModelBytes(*disc);
  ASSERT_EQ(saved.substr(kVersionAt, 4), Int32(2));
  ASSERT_EQ(saved.substr(saved.size() - 4), Int32(3)) << "the record ends with its bank";
  EXPECT_NE(disc->Model()->Describe().find(", bank 3, 34 features"), std::string::npos);

  // Feature 27 is the local energy at scale 5 in banks 1 and 2 (bank 1 integrates it at 10, bank
  // 2 at 15), a Hessian eigenvalue at scale 5 in bank 3: one forest, three segmentations.
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 7);
  // The split at the median of bank 2's feature, so that bank 2 sends half the pixels each way.
  const auto features = Tamrix::Vision::SmartSegmenterHelper::detail::ComputeTileFeatures(
      *test, Tamrix::Vision::SmartSegmenterHelper::detail::TileRect{0, 0, kSize, kSize},
      Tamrix::Vision::SmartSegmenterHelper::detail::FeatureLayout(kSampleSize, 1, 2));
  std::vector<float> column;
  for (int i = 0; i < kSize * kSize; ++i) column.push_back(features.values[i * 28 + 27]);
  std::nth_element(column.begin(), column.begin() + column.size() / 2, column.end());
  const float threshold = column[column.size() / 2];
  std::vector<std::vector<std::uint8_t>> masks;
  for (const auto& [version, bank] : {std::pair{1u, 1}, std::pair{2u, 2}, std::pair{2u, 3}}) {
    const std::string bytes = OldRecord(saved, version, bank, threshold);
    const auto model = std::dynamic_pointer_cast<ISegmenterModel>(LoadBytes(bytes));
    ASSERT_NE(model, nullptr) << "bank " << bank;
    const std::string described =
        ", bank " + std::to_string(bank) + ", " + (bank == 3 ? "34" : "28") + " features, 1 trees";
    EXPECT_NE(model->Describe().find(described), std::string::npos) << model->Describe();
    masks.push_back(model->Execute(*test, nullptr, discLabel)->Mask().Data());
    // Saved again, it keeps its bank; version 1 records are written as version 2 of bank 1.
    const std::string again = SaveBytes(model);
    EXPECT_EQ(again, OldRecord(saved, 2, bank, threshold)) << "bank " << bank;
  }
  // Banks 1 and 2 read the same kind of feature, of other integration scales: each splits the
  // scene somewhere else.
  for (std::size_t bank = 0; bank < 2; ++bank) {
    const auto set = std::count(masks[bank].begin(), masks[bank].end(), 1);
    EXPECT_GT(set, 0) << "bank " << bank + 1;
    EXPECT_LT(set, kSize * kSize) << "bank " << bank + 1;
  }
  EXPECT_NE(masks[0], masks[1]);
  EXPECT_NE(masks[1], masks[2]);

  // Newer records and unknown banks fail, naming what they found.
  std::string newer = saved;
  newer.replace(kVersionAt, 4, Int32(3));
  EXPECT_EQ(MessageOf<VisionException>([&] { LoadBytes(newer); }),
            "ForestModel::serialize(): stored class version 3 is newer than the supported "
            "version 2");
  std::string unknownBank = saved;
  unknownBank.replace(saved.size() - 4, 4, Int32(7));
  EXPECT_NE(
      MessageOf([&] { LoadBytes(unknownBank); }).find("expected feature bank 1 to 3, found 7"),
      std::string::npos);
  // A bank 2 record with the feature count of bank 3 is corrupt.
  std::string mixed = OldRecord(saved, 2, 2, 20.0f);
  mixed.replace(kFeatureCount, 4, Int32(34));
  EXPECT_NE(MessageOf([&] { LoadBytes(mixed); })
                .find("expected 28 features for sample size 5.000000, Grey8 images and bank 2, "
                      "found 34"),
            std::string::npos);
}

}  // namespace
}  // namespace HelperTests
