#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

constexpr int kSize = 128;
constexpr double kSampleSize = 3.0;
const Disc kDisc{64.0, 60.0, 30.0};

struct Scene {
  std::shared_ptr<SmartCore::SmartLabel> discLabel =
      std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  std::shared_ptr<SmartCore::SmartLabel> backgroundLabel =
      std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  std::shared_ptr<Image8Grey> image = DiscImage(kSize, kDisc, 170, 80, 30, 1);
  std::shared_ptr<SmartCore::SmartTrainDataDatabase> database =
      std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  std::shared_ptr<ISmartSegmenterAccess> access = NewAccess();

  Scene() { database->Add(DiscItem(image, kDisc, discLabel, backgroundLabel)); }
};

TEST(IntensityModel, SeparatesTwoRegionsOfDifferentIntensity) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  auto background = scene.access->CreateSegmenter(scene.backgroundLabel);
  disc->Train(*scene.database, kSampleSize);
  background->Train(*scene.database, kSampleSize);

  // A second image with other noise: the model has to generalise, not remember pixels.
  const auto test = DiscImage(kSize, kDisc, 170, 80, 30, 99);
  const PixelMask truth = kDisc.Truth(kSize, kSize);
  PixelMask outside(kSize, kSize);
  for (std::size_t i = 0; i < truth.Data().size(); ++i) outside.Data()[i] = !truth.Data()[i];

  const auto discResult = disc->Execute(*test, nullptr);
  ASSERT_NE(discResult, nullptr);
  EXPECT_EQ(discResult->LabelName(), "disc");
  EXPECT_GT(IntersectionOverUnion(discResult->Mask(), truth), 0.9);
  EXPECT_EQ(discResult->Probabilities().size(), static_cast<std::size_t>(kSize * kSize));
  EXPECT_EQ(discResult->Area(), discResult->Mask().Count());
  EXPECT_NEAR(discResult->Bounds().X0, kDisc.cx - kDisc.radius - 0.5, 3.0);
  EXPECT_NEAR(discResult->Bounds().Y1, kDisc.cy + kDisc.radius + 0.5, 3.0);

  const auto backgroundResult = background->Execute(*test, nullptr);
  EXPECT_EQ(backgroundResult->LabelName(), "background");
  EXPECT_GT(IntersectionOverUnion(backgroundResult->Mask(), outside), 0.9);
}

TEST(IntensityModel, ProbabilityMaskAgreesWithThreshold) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  const auto result = disc->Execute(*scene.image, nullptr);
  const auto& p = result->Probabilities();
  for (std::size_t i = 0; i < p.size(); ++i) {
    ASSERT_EQ(result->Mask().Data()[i], p[i] >= 0.5f ? 1 : 0) << "pixel " << i;
    ASSERT_GE(p[i], 0.0f);
    ASSERT_LE(p[i], 1.0f);
  }
  // Deep inside the disc and far outside it the model is confident.
  EXPECT_GT(p[60 * kSize + 64], 0.9f);
  EXPECT_LT(p[5 * kSize + 5], 0.1f);
}

TEST(IntensityModel, UsesTheColourChannelsSeparately) {
  // Red and green are the same noise everywhere; only blue tells the disc from the background.
  auto image = std::make_shared<Image24PlanarColor>(kToken, 96, 96);
  const Disc disc{48, 48, 22};
  Noise noise(5);
  for (int y = 0; y < 96; ++y) {
    for (int c = 0; c < 3; ++c) {
      std::uint8_t* row = image->MutableRow(c, y);
      for (int x = 0; x < 96; ++x) {
        const int base = c < 2 ? 120 : (disc.Contains(x, y) ? 190 : 60);
        row[x] = static_cast<std::uint8_t>(base + noise.Next(25));
      }
    }
  }
  auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  auto other = std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  database->Add(DiscItem(image, disc, label, other));
  auto segmenter = NewAccess()->CreateSegmenter(label);
  segmenter->Train(*database, kSampleSize);
  EXPECT_GT(IntersectionOverUnion(segmenter->Execute(*image, nullptr)->Mask(), disc.Truth(96, 96)),
            0.9);
  EXPECT_NE(segmenter->Model()->Describe().find("PlanarColor24"), std::string::npos);
}

TEST(IntensityModel, WithoutOtherLabelsTheUnlabelledPixelsAreTheCounterClass) {
  Scene scene;
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  database->Add(DiscItem(scene.image, kDisc, scene.discLabel, nullptr));
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*database, kSampleSize);
  EXPECT_GT(IntersectionOverUnion(disc->Execute(*scene.image, nullptr)->Mask(),
                                  kDisc.Truth(kSize, kSize)),
            0.8);
}

TEST(IntensityModel, UntrainedModelGivesAnAllZeroResult) {
  Scene scene;
  auto empty = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*empty, kSampleSize);
  for (const auto& segmenter : {disc, scene.access->CreateSegmenter(scene.discLabel)}) {
    const auto result = segmenter->Execute(*scene.image, nullptr);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->Width(), kSize);
    EXPECT_EQ(result->Height(), kSize);
    EXPECT_EQ(result->Area(), 0);
    EXPECT_TRUE(result->Bounds().Empty());
    EXPECT_EQ(result->Probabilities(), std::vector<float>(kSize * kSize, 0.0f));
  }
}

TEST(IntensityModel, ItemsThatAreNotTrainingItemsTeachNothing) {
  Scene scene;
  scene.database->TrainingData()->Item(0)->setIsTraining(false);
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  EXPECT_EQ(disc->Execute(*scene.image, nullptr)->Area(), 0);
}

TEST(IntensityModel, ImageOfAnotherFormatIsRefusedWithAClearMessage) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  auto wide = std::make_shared<Image16Grey>(kToken, 8, 8);
  try {
    disc->Execute(*wide, nullptr);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_STREQ(error.what(),
                 "IntensityModel for label 'disc': expected a Grey8 image, the format it was "
                 "trained on, found a Grey16 image");
  }
}

TEST(IntensityModel, TrainingImagesOfMixedFormatsAreRefused) {
  Scene scene;
  auto wide = std::make_shared<Image16Grey>(kToken, kSize, kSize);
  scene.database->Add(DiscItem(wide, kDisc, scene.discLabel, scene.backgroundLabel));
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  try {
    disc->Train(*scene.database, kSampleSize);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_EQ(error.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_NE(std::string(error.what()).find("found Grey8 and Grey16 (training item 1)"),
              std::string::npos)
        << error.what();
  }
  // A failed training leaves the model as it was: untrained.
  EXPECT_EQ(disc->Execute(*scene.image, nullptr)->Area(), 0);
}

TEST(IntensityModel, InvalidSampleSizeIsRefused) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  EXPECT_THROW(disc->Train(*scene.database, 0.0), ArgumentException);
  EXPECT_THROW(disc->Retrain(*scene.database, std::nan("")), ArgumentException);
}

TEST(IntensityModel, RegionRestrictedExecuteIsZeroOutsideAndUnchangedInside) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  auto region = std::make_shared<Ellipse>(kToken, Point2D{40, 50}, 30.0, 20.0);
  const PixelMask inside = region->Mask(kSize, kSize);
  ASSERT_GT(inside.Count(), 0);
  const auto full = disc->Execute(*scene.image, nullptr);
  const auto restricted = disc->Execute(*scene.image, region.get());
  long long insideSet = 0;
  for (std::size_t i = 0; i < inside.Data().size(); ++i) {
    if (inside.Data()[i]) {
      ASSERT_EQ(restricted->Probabilities()[i], full->Probabilities()[i]) << "pixel " << i;
      ASSERT_EQ(restricted->Mask().Data()[i], full->Mask().Data()[i]);
      insideSet += restricted->Mask().Data()[i];
    } else {
      ASSERT_EQ(restricted->Probabilities()[i], 0.0f) << "pixel " << i;
      ASSERT_EQ(restricted->Mask().Data()[i], 0);
    }
  }
  // The region overlaps the disc, so something is found inside it.
  EXPECT_GT(insideSet, 0);
  EXPECT_EQ(restricted->Area(), insideSet);
}

// Train after each edit must give exactly the model that Retrain builds on the same data.
void ExpectTrainEqualsRetrain(const std::shared_ptr<Segmenter>& incremental, const Scene& scene,
                              const IImage& probe, const char* step) {
  SCOPED_TRACE(step);
  incremental->Train(*scene.database, kSampleSize);
  auto fresh = scene.access->CreateSegmenter(scene.discLabel);
  fresh->Retrain(*scene.database, kSampleSize);
  EXPECT_EQ(SaveBytes(incremental->Model()), SaveBytes(fresh->Model()));
  EXPECT_EQ(incremental->Execute(probe, nullptr)->Probabilities(),
            fresh->Execute(probe, nullptr)->Probabilities());
}

TEST(IntensityModel, IncrementalTrainEqualsRetrainOnTheSameData) {
  Scene scene;
  const auto probe = DiscImage(kSize, kDisc, 170, 80, 30, 7);
  auto incremental = scene.access->CreateSegmenter(scene.discLabel);
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "first item");

  const Disc other{40, 70, 20};
  auto secondImage = DiscImage(kSize, other, 200, 60, 20, 2);
  auto second = DiscItem(secondImage, other, scene.discLabel, scene.backgroundLabel);
  scene.database->Add(second);
  const std::string beforeAdding = SaveBytes(incremental->Model());
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "second item added");
  EXPECT_NE(SaveBytes(incremental->Model()), beforeAdding) << "the new item was not learned";

  // Pixels edited in place: same item, same image object, new pixel generation.
  for (int y = 0; y < 20; ++y) {
    std::uint8_t* row = scene.image->MutableRow(y);
    for (int x = 0; x < 20; ++x) row[x] = 255;
  }
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "pixels edited");

  // A training shape moved: only the masks change.
  second->Assignments()->Item(0)->setShape(Square(35, 65, 45, 75));
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "shape moved");

  // The image replaced by another one that happens to have the same generation.
  scene.database->TrainingData()->Item(0)->setImage(DiscImage(kSize, kDisc, 150, 90, 10, 3));
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "image replaced");

  scene.database->Remove(second);
  ExpectTrainEqualsRetrain(incremental, scene, *probe, "item removed");

  // Another sample size invalidates every measured item.
  incremental->Train(*scene.database, 9.0);
  auto fresh = scene.access->CreateSegmenter(scene.discLabel);
  fresh->Retrain(*scene.database, 9.0);
  EXPECT_EQ(SaveBytes(incremental->Model()), SaveBytes(fresh->Model()));
}

TEST(IntensityModel, SegmentersOfDifferentLabelsTrainAndExecuteConcurrently) {
  Scene scene;
  auto discA = scene.access->CreateSegmenter(scene.discLabel);
  auto backgroundA = scene.access->CreateSegmenter(scene.backgroundLabel);
  auto discB = scene.access->CreateSegmenter(scene.discLabel);
  auto backgroundB = scene.access->CreateSegmenter(scene.backgroundLabel);
  discA->Train(*scene.database, kSampleSize);
  backgroundA->Train(*scene.database, kSampleSize);

  std::shared_ptr<SmartSegmenterResult> discResult, backgroundResult;
  std::thread first([&] {
    discB->Train(*scene.database, kSampleSize);
    discResult = discB->Execute(*scene.image, nullptr);
  });
  std::thread second([&] {
    backgroundB->Train(*scene.database, kSampleSize);
    backgroundResult = backgroundB->Execute(*scene.image, nullptr);
  });
  first.join();
  second.join();
  EXPECT_EQ(discResult->Probabilities(), discA->Execute(*scene.image, nullptr)->Probabilities());
  EXPECT_EQ(backgroundResult->Probabilities(),
            backgroundA->Execute(*scene.image, nullptr)->Probabilities());
}

TEST(IntensityModel, TrainedSegmenterExecutesIdenticallyAfterAnArchiveRoundTrip) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  const auto before = disc->Execute(*scene.image, nullptr);

  auto loaded = std::dynamic_pointer_cast<Segmenter>(LoadBytes(SaveBytes(disc)));
  ASSERT_NE(loaded, nullptr);
  SegmenterTestAccess::SetAccessAndParameters(*loaded, NewAccess());
  SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*loaded);
  EXPECT_EQ(loaded->Label()->Name(), "disc");
  EXPECT_EQ(loaded->Model()->Describe(), disc->Model()->Describe());
  const auto after = loaded->Execute(*scene.image, nullptr);
  EXPECT_EQ(after->Probabilities(), before->Probabilities());
  EXPECT_EQ(after->Mask().Data(), before->Mask().Data());

  // A loaded model has no item cache: its next Train relearns everything and ends where the
  // original stands.
  loaded->Train(*scene.database, kSampleSize);
  EXPECT_EQ(SaveBytes(loaded->Model()), SaveBytes(disc->Model()));
}

// Offsets into the record of an IntensityModel saved alone.
constexpr std::size_t kModelIdLength =
    sizeof("Tamrix::Vision::SmartSegmenterHelper::IntensityModel") - 1;
constexpr std::size_t kTrainedOffset = 1 + 4 + 8 + kModelIdLength + 4 + 4 + 4;
constexpr std::size_t kFormatOffset = kTrainedOffset + 1;
constexpr std::size_t kRadiusOffset = kFormatOffset + 4;
// Then the sample size (8 bytes) and the label class: count (8), mean count (8), first mean.
constexpr std::size_t kFirstMeanOffset = kRadiusOffset + 4 + 8 + 8 + 8;

struct CorruptModel {
  const char* name;
  std::size_t offset;
  std::string bytes;
  const char* message;
};

class IntensityModelCorruptArchive : public ::testing::TestWithParam<CorruptModel> {};

TEST_P(IntensityModelCorruptArchive, FailsWithAClearMessage) {
  Scene scene;
  auto disc = scene.access->CreateSegmenter(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  std::string bytes = SaveBytes(disc->Model());
  ASSERT_EQ(bytes.substr(13, kModelIdLength),
            "Tamrix::Vision::SmartSegmenterHelper::IntensityModel");
  bytes.replace(GetParam().offset, GetParam().bytes.size(), GetParam().bytes);
  try {
    LoadBytes(bytes);
    FAIL() << "expected an exception";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IntensityModelCorruptArchive,
    ::testing::Values(CorruptModel{"TrainedNotABool", kTrainedOffset, std::string("\x02", 1),
                                   "Invalid bool value 2"},
                      CorruptModel{"UnknownFormat", kFormatOffset, std::string("\x07\0\0\0", 4),
                                   "expected a pixel format 0 to 2, found 7"},
                      CorruptModel{"ColourFormatWithGreyStatistics", kFormatOffset,
                                   std::string("\x02\0\0\0", 4),
                                   "expected 9 means and variances, found 3 and 3"},
                      CorruptModel{"RadiusZero", kRadiusOffset, std::string("\0\0\0\0", 4),
                                   "expected a window radius 1 to 64, found 0"},
                      CorruptModel{"MeanNotANumber", kFirstMeanOffset,
                                   std::string("\0\0\0\0\0\0\xF8\x7F", 8),
                                   "expected finite means"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace HelperTests
