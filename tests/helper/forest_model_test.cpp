#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/LineSegment.h"
#include "platform/helper/RandomForest.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

constexpr int kSize = 128;
constexpr double kSampleSize = 5.0;
const Disc kTrainDisc{64.0, 60.0, 34.0};
const Disc kTestDisc{58.0, 70.0, 30.0};

// A textured training scene with sparse annotations: a square inside the disc, two background
// squares and a background scribble.
struct Scene {
  std::shared_ptr<SmartCore::SmartLabel> discLabel =
      std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  std::shared_ptr<SmartCore::SmartLabel> backgroundLabel =
      std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  std::shared_ptr<Image8Grey> image = TexturedScene(kSize, kSize, kTrainDisc, 1);
  std::shared_ptr<SmartCore::SmartTrainDataDatabase> database =
      std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  std::shared_ptr<ISmartSegmenterAccess> access = NewAccess();

  Scene() { database->Add(Item(image)); }

  std::shared_ptr<SmartCore::SmartTrainData> Item(const std::shared_ptr<IImage>& picture) const {
    auto item = DiscItem(picture, kTrainDisc, discLabel, backgroundLabel);
    item->AddAssignment(backgroundLabel,
                        std::make_shared<LineSegment>(kToken, Point2D{4, 120}, Point2D{60, 124}));
    return item;
  }
  std::shared_ptr<Segmenter> Make(const std::shared_ptr<SmartCore::SmartLabel>& label) const {
    return access->CreateSegmenter(label);
  }
};

std::shared_ptr<Segmenter> Reload(const std::shared_ptr<Segmenter>& segmenter,
                                  const std::shared_ptr<ISmartSegmenterAccess>& access) {
  auto loaded = std::dynamic_pointer_cast<Segmenter>(LoadBytes(SaveBytes(segmenter)));
  if (!loaded) throw std::runtime_error("the archive gave back no segmenter");
  SegmenterTestAccess::SetAccessAndParameters(*loaded, access);
  SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*loaded);
  return loaded;
}

TEST(ForestModel, SegmentsAHeldOutTexturedSceneFromSparseAnnotations) {
  Scene scene;
  auto disc = scene.Make(scene.discLabel);
  auto background = scene.Make(scene.backgroundLabel);
  disc->Train(*scene.database, kSampleSize);
  background->Train(*scene.database, kSampleSize);

  // Another image, other noise, the disc elsewhere: the model has to generalise.
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 99);
  const auto discResult = disc->Execute(*test, nullptr);
  const auto backgroundResult = background->Execute(*test, nullptr);
  ASSERT_EQ(discResult->LabelName(), "disc");
  ASSERT_EQ(backgroundResult->LabelName(), "background");
  // Each pixel goes to the label of higher probability.
  PixelMask discMask(kSize, kSize), backgroundMask(kSize, kSize);
  for (std::size_t i = 0; i < discMask.Data().size(); ++i) {
    const bool isDisc = discResult->Probabilities()[i] > backgroundResult->Probabilities()[i];
    discMask.Data()[i] = isDisc;
    backgroundMask.Data()[i] = !isDisc;
  }
  const PixelMask truth = kTestDisc.Truth(kSize, kSize);
  PixelMask outside(kSize, kSize);
  for (std::size_t i = 0; i < truth.Data().size(); ++i) outside.Data()[i] = !truth.Data()[i];
  const double meanIoU = 0.5 * (IntersectionOverUnion(discMask, truth) +
                                IntersectionOverUnion(backgroundMask, outside));
  EXPECT_GT(meanIoU, 0.9);
  // The label's own mask is the probability thresholded at 0.5, with area and bounds to match.
  EXPECT_GT(IntersectionOverUnion(discResult->Mask(), truth), 0.85);
  EXPECT_EQ(discResult->Area(), discResult->Mask().Count());
  EXPECT_NEAR(discResult->Bounds().X0, kTestDisc.cx - kTestDisc.radius - 0.5, 4.0);
  for (std::size_t i = 0; i < truth.Data().size(); ++i) {
    ASSERT_EQ(discResult->Mask().Data()[i], discResult->Probabilities()[i] >= 0.5f ? 1 : 0);
  }
}

TEST(ForestModel, ResultsDoNotDependOnTheThreadsThatTrainOrExecute) {
  Scene scene;
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 5);
  std::vector<std::string> alone;
  std::vector<std::vector<float>> aloneResults;
  for (const auto& label : {scene.discLabel, scene.backgroundLabel}) {
    auto segmenter = scene.Make(label);
    segmenter->Train(*scene.database, kSampleSize);
    alone.push_back(SaveBytes(segmenter->Model()));
    aloneResults.push_back(segmenter->Execute(*test, nullptr)->Probabilities());
  }
  // Four segmenters, two per label, trained and executed at the same time on shared inputs.
  std::vector<std::shared_ptr<Segmenter>> segmenters;
  for (int i = 0; i < 4; ++i)
    segmenters.push_back(scene.Make(i % 2 ? scene.backgroundLabel : scene.discLabel));
  std::vector<std::vector<float>> results(4);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&, i] {
      segmenters[static_cast<std::size_t>(i)]->Train(*scene.database, kSampleSize);
      results[static_cast<std::size_t>(i)] =
          segmenters[static_cast<std::size_t>(i)]->Execute(*test, nullptr)->Probabilities();
    });
  }
  for (auto& thread : threads) thread.join();
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(SaveBytes(segmenters[i]->Model()), alone[i % 2]) << "segmenter " << i;
    EXPECT_EQ(results[i], aloneResults[i % 2]) << "segmenter " << i;
  }
}

TEST(ForestModel, IncrementalTrainingEqualsTrainingFromScratch) {
  Scene scene;
  auto incremental = scene.Make(scene.discLabel);
  incremental->Train(*scene.database, kSampleSize);
  const std::string oneItem = SaveBytes(incremental->Model());

  const auto second = TexturedScene(kSize, kSize, kTrainDisc, 2);
  scene.database->Add(scene.Item(second));
  incremental->Train(*scene.database, kSampleSize);
  auto scratch = scene.Make(scene.discLabel);
  scratch->Retrain(*scene.database, kSampleSize);
  EXPECT_EQ(SaveBytes(incremental->Model()), SaveBytes(scratch->Model()));
  EXPECT_NE(SaveBytes(incremental->Model()), oneItem);

  // Removing the item again brings the model back to where it started.
  scene.database->RemoveAt(1);
  incremental->Train(*scene.database, kSampleSize);
  EXPECT_EQ(SaveBytes(incremental->Model()), oneItem);
}

TEST(ForestModel, ANewSampleSizeMakesEveryCachedSampleStale) {
  Scene scene;
  auto segmenter = scene.Make(scene.discLabel);
  segmenter->Train(*scene.database, kSampleSize);
  segmenter->Train(*scene.database, 2.0);
  auto fresh = scene.Make(scene.discLabel);
  fresh->Train(*scene.database, 2.0);
  EXPECT_EQ(SaveBytes(segmenter->Model()), SaveBytes(fresh->Model()));
  EXPECT_NE(segmenter->Model()->Describe().find("sample size 2,"), std::string::npos)
      << segmenter->Model()->Describe();
}

TEST(ForestModel, ChangedPixelsOfAKnownItemAreSampledAgain) {
  Scene scene;
  auto segmenter = scene.Make(scene.discLabel);
  segmenter->Train(*scene.database, kSampleSize);
  for (int y = 50; y < 70; ++y) {
    std::uint8_t* row = scene.image->MutableRow(y);
    for (int x = 50; x < 80; ++x) row[x] = static_cast<std::uint8_t>(255 - row[x]);
  }
  segmenter->Train(*scene.database, kSampleSize);
  auto fresh = scene.Make(scene.discLabel);
  fresh->Train(*scene.database, kSampleSize);
  EXPECT_EQ(SaveBytes(segmenter->Model()), SaveBytes(fresh->Model()));
}

TEST(ForestModel, ArchiveRoundTripSegmentsIdenticallyAndKeepsTheTrainCache) {
  Scene scene;
  auto disc = scene.Make(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  const auto test = TexturedScene(kSize, kSize, kTestDisc, 7);
  const auto before = disc->Execute(*test, nullptr);

  const auto loaded = Reload(disc, NewAccess());
  EXPECT_EQ(loaded->Model()->Describe(), disc->Model()->Describe());
  const auto after = loaded->Execute(*test, nullptr);
  EXPECT_EQ(after->Probabilities(), before->Probabilities());
  EXPECT_EQ(after->Mask().Data(), before->Mask().Data());
  EXPECT_EQ(SaveBytes(loaded->Model()), SaveBytes(disc->Model()));

  // New item objects with the same content, as after loading an operator: nothing changes.
  auto copy = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  copy->Add(
      scene.Item(Image8Grey::FromPixels(kSize, kSize, scene.image->Row(0), scene.image->Stride())));
  loaded->Train(*copy, kSampleSize);
  EXPECT_EQ(SaveBytes(loaded->Model()), SaveBytes(disc->Model()));
}

TEST(ForestModel, ARegionLimitsTheClassifiedPixels) {
  Scene scene;
  auto disc = scene.Make(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  const auto region = Square(30.5, 40.5, 90.5, 100.5);
  const auto whole = disc->Execute(*scene.image, nullptr);
  const auto limited = disc->Execute(*scene.image, region.get());
  // Outside the region nothing is classified. Inside, the smoothing (radius 15 at sample size 5)
  // averages only over the region, so pixels at least 16 pixels from its edge match the whole
  // image's result exactly.
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * kSize + x;
      const bool inside = x >= 31 && x <= 90 && y >= 41 && y <= 100;
      const bool deep = x >= 31 + 16 && x <= 90 - 16 && y >= 41 + 16 && y <= 100 - 16;
      if (!inside) {
        ASSERT_EQ(limited->Probabilities()[i], 0.0f) << x << ", " << y;
        ASSERT_EQ(limited->Mask().Data()[i], 0) << x << ", " << y;
      } else if (deep) {
        ASSERT_EQ(limited->Probabilities()[i], whole->Probabilities()[i]) << x << ", " << y;
      }
    }
  }
  EXPECT_GT(limited->Area(), 0);
}

TEST(ForestModel, UntrainedOrUntaughtModelsGiveAllZeroResults) {
  Scene scene;
  auto fresh = scene.Make(scene.discLabel);
  scene.database->TrainingData()->Item(0)->setIsTraining(false);
  auto untaught = scene.Make(scene.discLabel);
  untaught->Train(*scene.database, kSampleSize);
  for (const auto& segmenter : {fresh, untaught}) {
    const auto result = segmenter->Execute(*scene.image, nullptr);
    EXPECT_EQ(result->Width(), kSize);
    EXPECT_EQ(result->Area(), 0);
    EXPECT_EQ(result->Probabilities(), std::vector<float>(kSize * kSize, 0.0f));
    EXPECT_EQ(segmenter->Model()->Describe(), "ForestModel(untrained)");
  }
}

TEST(ForestModel, AloneInItsItemsALabelIsLearnedAgainstTheRestOfTheImage) {
  Scene scene;
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  const auto bright = DiscImage(kSize, kTrainDisc, 170, 80, 30, 1);
  database->Add(DiscItem(bright, kTrainDisc, scene.discLabel, nullptr));
  auto disc = scene.Make(scene.discLabel);
  disc->Train(*database, kSampleSize);
  ASSERT_NE(disc->Model()->Describe(), "ForestModel(untrained)");
  // Everything outside the annotated square was taught as "not the label": the square is found,
  // the background is not.
  const auto mask = disc->Execute(*bright, nullptr)->Mask();
  const double half = kTrainDisc.radius * 0.5;
  PixelMask square(kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      square.Set(x, y,
                 std::abs(x - kTrainDisc.cx) < half - 1 && std::abs(y - kTrainDisc.cy) < half - 1);
    }
  }
  long long covered = 0, outsideDisc = 0;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      covered += square.At(x, y) && mask.At(x, y);
      outsideDisc += !kTrainDisc.Contains(x, y) && mask.At(x, y);
    }
  }
  EXPECT_GT(static_cast<double>(covered), 0.95 * static_cast<double>(square.Count()));
  EXPECT_LT(outsideDisc, 50);
}

TEST(ForestModel, LearnsColourAndSixteenBitImages) {
  // Colour: red and green are the same noise everywhere; only blue tells the disc.
  auto colour = std::make_shared<Image24PlanarColor>(kToken, 96, 96);
  const Disc disc{48, 48, 22};
  Noise noise(5);
  for (int y = 0; y < 96; ++y) {
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < 96; ++x) {
        const int base = c < 2 ? 120 : (disc.Contains(x, y) ? 170 : 80);
        colour->MutableRow(c, y)[x] = static_cast<std::uint8_t>(base + noise.Next(30));
      }
    }
  }
  // Sixteen bits: a dim disc on a darker background, values far above 255.
  auto wide = std::make_shared<Image16Grey>(kToken, 96, 96);
  for (int y = 0; y < 96; ++y) {
    for (int x = 0; x < 96; ++x) {
      wide->MutableRow(y)[x] =
          static_cast<std::uint16_t>((disc.Contains(x, y) ? 30000 : 20000) + 200 * noise.Next(20));
    }
  }
  for (const std::shared_ptr<IImage>& image :
       {std::shared_ptr<IImage>(colour), std::shared_ptr<IImage>(wide)}) {
    auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
    auto other = std::make_shared<SmartCore::SmartLabel>(kToken, "background");
    auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
    database->Add(DiscItem(image, disc, label, other));
    auto segmenter = NewAccess()->CreateSegmenter(label);
    segmenter->Train(*database, 2.0);
    EXPECT_GT(
        IntersectionOverUnion(segmenter->Execute(*image, nullptr)->Mask(), disc.Truth(96, 96)),
        0.85)
        << segmenter->Model()->Describe();
  }
}

TEST(ForestModel, ImageOfAnotherFormatIsRefusedWithAClearMessage) {
  Scene scene;
  auto disc = scene.Make(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  auto wide = std::make_shared<Image16Grey>(kToken, 8, 8);
  try {
    disc->Execute(*wide, nullptr);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_STREQ(error.what(),
                 "ForestModel for label 'disc': expected a Grey8 image, the format it was "
                 "trained on, found a Grey16 image");
  }
}

TEST(ForestModel, TrainingImagesOfMixedFormatsAreRefused) {
  Scene scene;
  auto wide = std::make_shared<Image16Grey>(kToken, kSize, kSize);
  scene.database->Add(scene.Item(wide));
  auto disc = scene.Make(scene.discLabel);
  try {
    disc->Train(*scene.database, kSampleSize);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_STREQ(error.what(),
                 "ForestModel for label 'disc': expected every training image in one pixel "
                 "format, found Grey8 and Grey16 (training item 1)");
  }
  EXPECT_EQ(disc->Model()->Describe(), "ForestModel(untrained)");
}

// Offsets into the record of a ForestModel saved alone: endianness byte, polymorphic id, name
// length and name, pointer id, the class versions of ForestModel and ShareableBase.
constexpr std::size_t kIdLength = sizeof("Tamrix::Vision::SmartSegmenterHelper::ForestModel") - 1;
constexpr std::size_t kSeed = 1 + 4 + 8 + kIdLength + 4 + 4 + 4;
constexpr std::size_t kSampleSizeAt = kSeed + 8;
constexpr std::size_t kFormat = kSampleSizeAt + 8;
constexpr std::size_t kTrees = kFormat + 4;
constexpr std::size_t kDepth = kTrees + 4;
constexpr std::size_t kFeatureCount = kDepth + 4;
constexpr std::size_t kRootCount = kFeatureCount + 4;
// One root per tree (the default tree count) of 4 bytes, then the node features' count and the
// first node's feature.
constexpr std::size_t kFirstFeature =
    kRootCount + 8 +
    static_cast<std::size_t>(
        Tamrix::Vision::SmartSegmenterHelper::detail::ForestParameters{}.trees) *
        4 +
    8;

std::string Int32(std::int32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(&bytes[0], &value, 4);
  return bytes;
}

struct CorruptModel {
  const char* name;
  std::size_t offset;
  std::string bytes;
  const char* message;
};

class ForestModelCorruptArchive : public ::testing::TestWithParam<CorruptModel> {};

TEST_P(ForestModelCorruptArchive, FailsWithAClearMessage) {
  Scene scene;
  auto disc = scene.Make(scene.discLabel);
  disc->Train(*scene.database, kSampleSize);
  std::string bytes = SaveBytes(disc->Model());
  ASSERT_EQ(bytes.substr(13, kIdLength), "Tamrix::Vision::SmartSegmenterHelper::ForestModel");
  if (GetParam().bytes.empty()) {
    bytes.resize(GetParam().offset);
  } else {
    bytes.replace(GetParam().offset, GetParam().bytes.size(), GetParam().bytes);
  }
  try {
    LoadBytes(bytes);
    FAIL() << "expected an exception";
  } catch (const std::exception& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForestModelCorruptArchive,
    ::testing::Values(
        CorruptModel{"SampleSizeNotANumber", kSampleSizeAt, std::string("\0\0\0\0\0\0\xF8\x7F", 8),
                     "ForestModel: expected a finite sample size of at least 0, found nan"},
        CorruptModel{"UnknownFormat", kFormat, Int32(7), "expected a pixel format 0 to 2, found 7"},
        CorruptModel{"NoTrees", kTrees, Int32(0), "expected 1 to 1024 trees, found 0"},
        CorruptModel{"DepthTooLarge", kDepth, Int32(99),
                     "expected a depth limit of 1 to 64, found 99"},
        CorruptModel{"FeatureCountOfAnotherLayout", kFeatureCount, Int32(5),
                     "expected 28 features for sample size 5.000000 and Grey8 images, found 5"},
        CorruptModel{"ColourFormatWithGreyFeatures", kFormat, Int32(2),
                     "expected 84 features for sample size 5.000000 and PlanarColor24 images, "
                     "found 28"},
        CorruptModel{"NodeFeatureOutOfRange", kFirstFeature, Int32(9999),
                     "ForestModel: Random forest: node 0 of tree 0: expected a feature -1 (leaf) "
                     "to 27, found 9999"},
        CorruptModel{"HugeRootCount", kRootCount, std::string("\xFF\xFF\xFF\xFF\xFF\xFF\x0F\0", 8),
                     ""},
        CorruptModel{"Truncated", kFirstFeature + 100, std::string(), ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace HelperTests
