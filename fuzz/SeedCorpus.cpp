// Writes the fuzzer's seed corpus: one archive per file, as a host would save them, covering
// every kind of object the archives hold (operators with and without training data and trained
// engines, training data, shapes, images, collections, transforms).
//
// Usage: archive-seed-corpus OUTPUT_DIR MODULE_DIR
#include <rttr/type>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Collections.h"
#include "interfaces/core/CoordinateSpaceTree.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Transforms.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Vorn::IObject;
const IObject::ObjectCreateAccessToken kToken;

std::shared_ptr<Image8Grey> Stripes(int width, int height) {
  auto image = std::make_shared<Image8Grey>(kToken, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image->MutableRow(y)[x] = static_cast<std::uint8_t>(y < height / 2 ? 40 + (x % 3) * 20 : 200);
    }
  }
  return image;
}

std::shared_ptr<SmartCore::ISmartSegmenter> NewOperator() {
  const rttr::variant made =
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator").create();
  if (!made.is_type<std::shared_ptr<SmartSegmenter::SmartSegmenterOperator>>())
    throw std::runtime_error("the operator is not registered for reflection");
  std::shared_ptr<SmartCore::ISmartSegmenter> op =
      made.get_value<std::shared_ptr<SmartSegmenter::SmartSegmenterOperator>>();
  if (!op) throw std::runtime_error("the operator is not registered for reflection");
  return op;
}

// Two labels on a small image: polygons, a rectangle, an ellipse and a scribble.
std::shared_ptr<SmartCore::ISmartSegmenter> OperatorWithTrainingData(bool train) {
  auto op = NewOperator();
  auto top = std::make_shared<SmartCore::SmartLabel>(kToken, "top");
  auto bottom = std::make_shared<SmartCore::SmartLabel>(kToken, "bottom");
  op->Labels()->Add(top);
  op->Labels()->Add(bottom);
  auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, Stripes(16, 12), true);
  item->AddAssignment(top, std::make_shared<Polygon>(
                               kToken, std::vector<Point2D>{{1, 1}, {10, 1}, {10, 4}, {1, 4}}));
  item->AddAssignment(top, std::make_shared<LineSegment>(kToken, Point2D{2, 2}, Point2D{14, 3}));
  item->AddAssignment(bottom, std::make_shared<RectangleAffine>(kToken, Point2D{8, 9}, 12, 3));
  item->AddAssignment(bottom, std::make_shared<Ellipse>(kToken, Point2D{4, 9}, 2, 1.5));
  op->SmartTrainDataDatabase()->Add(item);
  op->SmartTrainDataDatabase()->Add(
      std::make_shared<SmartCore::SmartTrainData>(kToken, Stripes(8, 8), false));
  op->setSampleSize(2.0);
  if (train) op->Train();
  return op;
}

std::vector<std::pair<std::string, std::shared_ptr<IObject>>> Seeds() {
  std::vector<std::pair<std::string, std::shared_ptr<IObject>>> seeds;
  const auto add = [&seeds](const std::string& name, std::shared_ptr<IObject> object) {
    seeds.emplace_back(name, std::move(object));
  };
  add("operator_empty", NewOperator());
  add("operator_training_data", OperatorWithTrainingData(false));
  add("operator_trained", OperatorWithTrainingData(true));
  {
    auto trained = OperatorWithTrainingData(true);
    auto results = trained->Execute(*Stripes(16, 12), nullptr);
    add("results", results);
    if (results->Count() > 0) add("result", std::dynamic_pointer_cast<IObject>(results->Item(0)));
  }
  add("label", std::make_shared<SmartCore::SmartLabel>(kToken, "label"));
  add("image8", Stripes(5, 4));
  {
    auto image = std::make_shared<Image16Grey>(kToken, 4, 3);
    image->MutableRow(1)[2] = 65535;
    add("image16", image);
  }
  add("image24", std::make_shared<Image24PlanarColor>(kToken, 3, 2));
  add("polygon", std::make_shared<Polygon>(kToken, std::vector<Point2D>{{0, 0}, {4, 0}, {2, 3}}));
  add("ellipse", std::make_shared<Ellipse>(kToken, Point2D{3, 3}, 2, 1, 0.5));
  add("line", std::make_shared<LineSegment>(kToken, Point2D{0, 0}, Point2D{5, 2}));
  add("arc", std::make_shared<EllipticalArc>(kToken, Point2D{3, 3}, 2, 2, 0, 0.1, 2.0));
  add("annulus",
      std::make_shared<EllipticalAnnulusSection>(kToken, Point2D{5, 5}, 4, 3, 0.2, 0.5, 0.0, 3.0));
  add("rectangle", std::make_shared<RectangleAffine>(kToken, Point2D{4, 4}, 6, 2, 0.3, 0.1));
  {
    auto strings = std::make_shared<StringCollection>(kToken);
    strings->Add("first");
    strings->Add("");
    add("strings", strings);
    auto points = std::make_shared<Vect2Collection>(kToken);
    auto point = std::make_shared<Vect2>(kToken, 1.5, -2);
    points->Add(point);
    points->Add(point);
    add("points", points);
    auto graphics = std::make_shared<GraphicParentChildCollection>(kToken);
    graphics->Add(std::make_shared<Polygon>(kToken, std::vector<Point2D>{{0, 0}, {1, 0}, {0, 1}}));
    add("graphics", graphics);
  }
  add("doubles", std::make_shared<DoubleReadOnlyCollection>(kToken));
  add("graphic_children", std::make_shared<GraphicChildren>(kToken));
  add("transform_linear", std::make_shared<Transform2DLinear>(kToken));
  add("transform_rigid", std::make_shared<Transform2DRigid>(kToken));
  add("coordinate_tree", std::make_shared<CoordinateSpaceTree>(kToken));
  return seeds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: archive-seed-corpus OUTPUT_DIR MODULE_DIR\n");
    return 2;
  }
  try {
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    const std::string modules = argv[2];
    sysSetLibrarySearchDirectory(std::wstring(modules.begin(), modules.end()));
    int written = 0;
    for (const auto& [name, object] : Seeds()) {
      std::ofstream file(folder / (name + ".bin"), std::ios::binary);
      Archiving::SaveObject(file, object);
      if (!file) throw std::runtime_error("cannot write " + (folder / name).string());
      ++written;
    }
    std::printf("%d seed archives in %s\n", written, folder.string().c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "archive-seed-corpus: error: %s\n", error.what());
    return 1;
  }
}
