// A host of the operator built against the installed package: creates the operator by its
// reflection name, teaches it two labels on a two-tone image, segments the image, saves the
// trained operator to a file, loads it back and checks that the loaded one segments alike.
//   consumer OUTPUT_FOLDER
#include <rttr/type>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using SmartCore::ISmartSegmenter;
const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
constexpr int kSize = 32;

// Dark left half, bright right half, with a little texture so that neither is flat.
std::shared_ptr<Image8Grey> TwoTones() {
  auto image = std::make_shared<Image8Grey>(kToken, kSize, kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      image->MutableRow(y)[x] = static_cast<std::uint8_t>((x < kSize / 2 ? 40 : 200) + (x + y) % 7);
    }
  }
  return image;
}

std::shared_ptr<Polygon> Box(double x0, double y0, double x1, double y1) {
  return std::make_shared<Polygon>(kToken,
                                   std::vector<Point2D>{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// Area of each label's result.
std::map<std::string, long long> Outcome(ISmartSegmenter& segmenter, const IImage& image) {
  const auto results = segmenter.Execute(image, nullptr);
  std::map<std::string, long long> areas;
  for (int i = 0; i < results->Count(); ++i) {
    areas[results->Item(i)->LabelName()] = results->Item(i)->Area();
  }
  return areas;
}

std::string Text(const std::map<std::string, long long>& areas) {
  std::string text;
  for (const auto& [label, area] : areas) text += label + "=" + std::to_string(area) + " ";
  return text;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "consumer: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Fail("usage: consumer OUTPUT_FOLDER");
  const std::string archivePath = std::string(argv[1]) + "/operator.bin";
  try {
    const rttr::type type =
        rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator");
    if (!type.is_valid()) return Fail("the operator is not in the reflection registry");
    auto made = type.create().get_value<std::shared_ptr<SmartSegmenter::SmartSegmenterOperator>>();
    if (!made) return Fail("the reflection registry did not create an operator");
    std::shared_ptr<ISmartSegmenter> segmenter = made;

    const auto image = TwoTones();
    auto dark = std::make_shared<SmartCore::SmartLabel>(kToken, "dark");
    auto bright = std::make_shared<SmartCore::SmartLabel>(kToken, "bright");
    segmenter->Labels()->Add(dark);
    segmenter->Labels()->Add(bright);
    auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, image, true);
    item->AddAssignment(dark, Box(2, 2, 13, 29));
    item->AddAssignment(bright, Box(18, 2, 29, 29));
    segmenter->SmartTrainDataDatabase()->Add(item);
    segmenter->Train();
    if (segmenter->IsDirty()) return Fail("the operator is still dirty after training");

    const auto before = Outcome(*segmenter, *image);
    // Each label must claim about its own half of the image.
    for (const char* label : {"dark", "bright"}) {
      const auto found = before.find(label);
      const long long half = kSize * kSize / 2;
      if (found == before.end() || found->second < half * 3 / 4 || found->second > half * 5 / 4) {
        return Fail("label " + std::string(label) + " does not cover its half: " + Text(before));
      }
    }
    {
      std::ofstream out(archivePath, std::ios::binary);
      Archiving::SaveObject(out, made);
      if (!out.flush()) return Fail("cannot write " + archivePath);
    }
    std::ifstream in(archivePath, std::ios::binary);
    auto loaded = std::dynamic_pointer_cast<ISmartSegmenter>(Archiving::LoadObject(in));
    if (!loaded) return Fail(archivePath + " did not load as an operator");
    const auto after = Outcome(*loaded, *image);
    if (after != before) return Fail("the loaded operator segments differently: " + Text(after));
    std::printf("consumer: %s\n", Text(before).c_str());
    return 0;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
