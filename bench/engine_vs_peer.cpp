// Our operator against the open-source reference pipeline on the texture mosaics that
// bench/peer/texture_mosaics.py wrote (it also timed the reference on them): trains the operator on
// the same sparse annotations, segments each mosaic (argmax of the label probabilities) and prints
// one table with both sides.
//
// Usage: engine_vs_peer <manifest.txt>
//        engine_vs_peer --memory <size> <labels>   peak memory of executing a size x size image
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <rttr/type>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
using Clock = std::chrono::steady_clock;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

struct Grey {
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
};

Grey ReadPgm(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  Grey image;
  file >> magic >> image.width >> image.height >> maxValue;
  file.get();
  if (!file || magic != "P5" || maxValue != 255 || image.width <= 0 || image.height <= 0) {
    throw std::runtime_error("expected an 8-bit binary PGM file: " + path);
  }
  image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
  file.read(reinterpret_cast<char*>(image.pixels.data()),
            static_cast<std::streamsize>(image.pixels.size()));
  if (!file) throw std::runtime_error("the PGM file is truncated: " + path);
  return image;
}

struct Mosaic {
  std::string name;
  Grey image, truth;
  std::vector<std::string> labels;
  struct Shape {
    bool polygon;
    int label;
    std::vector<Point2D> points;
  };
  std::vector<Shape> shapes;
  double peerTrain = 0, peerExecute = 0, peerIoU = 0;
};

std::vector<Mosaic> ReadManifest(const std::string& path) {
  std::ifstream file(path);
  if (!file) throw std::runtime_error("cannot open " + path);
  std::vector<Mosaic> mosaics;
  std::string line;
  Mosaic current;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "image") {
      std::string imagePath, truthPath;
      int count = 0;
      words >> current.name >> imagePath >> truthPath >> count;
      current.image = ReadPgm(imagePath);
      current.truth = ReadPgm(truthPath);
      current.labels.assign(static_cast<std::size_t>(count), std::string());
    } else if (kind == "label") {
      int index = 0;
      words >> index;
      words >> current.labels.at(static_cast<std::size_t>(index));
    } else if (kind == "polygon" || kind == "line") {
      Mosaic::Shape shape{kind == "polygon", 0, {}};
      words >> shape.label;
      double x = 0, y = 0;
      while (words >> x >> y) shape.points.push_back(Point2D{x, y});
      current.shapes.push_back(std::move(shape));
    } else if (kind == "peer") {
      words >> current.peerTrain >> current.peerExecute >> current.peerIoU;
    } else if (kind == "end") {
      mosaics.push_back(std::move(current));
      current = Mosaic();
    }
  }
  return mosaics;
}

std::shared_ptr<SmartSegmenterOperator> NewOperator() {
  sysSetLibrarySearchDirectory(L"" TAMRIX_STAGE_LIB_DIR);
  const rttr::variant created =
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator").create();
  auto op = created.get_value<std::shared_ptr<SmartSegmenterOperator>>();
  if (!op) throw std::runtime_error("the operator is not registered for reflection");
  return op;
}

std::shared_ptr<Image8Grey> ToImage(const Grey& grey) {
  return Image8Grey::FromPixels(grey.width, grey.height, grey.pixels.data(), grey.width);
}

// Label index of every pixel: the label of highest probability.
std::vector<int> Argmax(const SmartCore::SmartSegmenterResults& results,
                        const std::vector<std::string>& labels, std::size_t pixels) {
  std::vector<int> best(pixels, 0);
  std::vector<float> top(pixels, -1.0f);
  for (const auto& result : results) {
    int index = -1;
    for (std::size_t l = 0; l < labels.size(); ++l) {
      if (labels[l] == result->LabelName()) index = static_cast<int>(l);
    }
    if (index < 0) continue;
    const auto& p = result->Probabilities();
    for (std::size_t i = 0; i < pixels && i < p.size(); ++i) {
      if (p[i] > top[i]) {
        top[i] = p[i];
        best[i] = index;
      }
    }
  }
  return best;
}

double MeanIoU(const std::vector<int>& predicted, const Grey& truth, std::size_t labels) {
  double sum = 0;
  for (std::size_t l = 0; l < labels; ++l) {
    long long both = 0, either = 0;
    for (std::size_t i = 0; i < predicted.size(); ++i) {
      const bool p = predicted[i] == static_cast<int>(l);
      const bool t = truth.pixels[i] == l;
      both += p && t;
      either += p || t;
    }
    sum += either == 0 ? 1.0 : static_cast<double>(both) / static_cast<double>(either);
  }
  return sum / static_cast<double>(labels);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

int Compare(const std::string& manifest) {
  const auto mosaics = ReadManifest(manifest);
  std::printf("%-10s %6s | %9s %9s %9s | %9s %9s %9s | %8s %9s\n", "image", "labels", "ours tr s",
              "ours ex s", "ours IoU", "peer tr s", "peer ex s", "peer IoU", "speedup", "IoU gain");
  double oursTotal = 0, peerTotal = 0, oursIoU = 0, peerIoU = 0;
  for (const auto& mosaic : mosaics) {
    auto op = NewOperator();
    std::vector<std::shared_ptr<SmartCore::SmartLabel>> labels;
    for (const auto& name : mosaic.labels) {
      labels.push_back(std::make_shared<SmartCore::SmartLabel>(kToken, name));
      op->Labels()->Add(labels.back());
    }
    const auto image = ToImage(mosaic.image);
    const auto start = Clock::now();
    auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, image, true);
    for (const auto& shape : mosaic.shapes) {
      const auto& label = labels.at(static_cast<std::size_t>(shape.label));
      if (shape.polygon) {
        item->AddAssignment(label, std::make_shared<Polygon>(kToken, shape.points));
      } else {
        item->AddAssignment(
            label, std::make_shared<LineSegment>(kToken, shape.points.at(0), shape.points.at(1)));
      }
    }
    op->SmartTrainDataDatabase()->Add(item);
    op->Train();
    const auto trained = Clock::now();
    SmartCore::ISmartSegmenter& segmenter = *op;
    const auto results = segmenter.Execute(*image, nullptr);
    const auto predicted = Argmax(*results, mosaic.labels, mosaic.image.pixels.size());
    const auto executed = Clock::now();
    const double iou = MeanIoU(predicted, mosaic.truth, mosaic.labels.size());
    const double ours = Seconds(start, executed);
    const double peer = mosaic.peerTrain + mosaic.peerExecute;
    std::printf("%-10s %6zu | %9.3f %9.3f %9.4f | %9.3f %9.3f %9.4f | %7.1fx %+9.4f\n",
                mosaic.name.c_str(), mosaic.labels.size(), Seconds(start, trained),
                Seconds(trained, executed), iou, mosaic.peerTrain, mosaic.peerExecute,
                mosaic.peerIoU, peer / ours, iou - mosaic.peerIoU);
    oursTotal += ours;
    peerTotal += peer;
    oursIoU += iou;
    peerIoU += mosaic.peerIoU;
  }
  const double n = static_cast<double>(mosaics.size());
  std::printf("%-10s %6s | %19.3f %9.4f | %19.3f %9.4f | %7.1fx %+9.4f\n", "all", "", oursTotal,
              oursIoU / n, peerTotal, peerIoU / n, peerTotal / oursTotal, (oursIoU - peerIoU) / n);
  return 0;
}

// Trains on a small textured scene, then executes a size x size image and reports the peak
// resident memory of the process.
int Memory(int size, int labelCount) {
  auto op = NewOperator();
  const int small = 256;
  Grey training{small, small, std::vector<std::uint8_t>(static_cast<std::size_t>(small) * small)};
  std::uint32_t state = 1;
  const auto region = [labelCount](int x, int y) { return ((x / 64) + (y / 64)) % labelCount; };
  for (int y = 0; y < small; ++y) {
    for (int x = 0; x < small; ++x) {
      state = state * 1664525u + 1013904223u;
      const int r = region(x, y);
      training.pixels[static_cast<std::size_t>(y) * small + x] =
          static_cast<std::uint8_t>(60 + 40 * r + (state >> 27));
    }
  }
  const auto trainImage = ToImage(training);
  auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, trainImage, true);
  for (int l = 0; l < labelCount; ++l) {
    auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "label" + std::to_string(l));
    op->Labels()->Add(label);
    for (int by = 0; by < small / 64; ++by) {
      for (int bx = 0; bx < small / 64; ++bx) {
        if ((bx + by) % labelCount != l) continue;
        const double x0 = bx * 64 + 20, y0 = by * 64 + 20;
        item->AddAssignment(
            label, std::make_shared<Polygon>(
                       kToken, std::vector<Point2D>{
                                   {x0, y0}, {x0 + 24, y0}, {x0 + 24, y0 + 24}, {x0, y0 + 24}}));
      }
    }
  }
  op->SmartTrainDataDatabase()->Add(item);
  op->Train();
  Grey big{size, size, std::vector<std::uint8_t>(static_cast<std::size_t>(size) * size)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      state = state * 1664525u + 1013904223u;
      big.pixels[static_cast<std::size_t>(y) * size + x] =
          static_cast<std::uint8_t>(60 + 40 * region(x, y) + (state >> 27));
    }
  }
  const auto image = ToImage(big);
  big.pixels = std::vector<std::uint8_t>();
  const auto start = Clock::now();
  SmartCore::ISmartSegmenter& segmenter = *op;
  const auto results = segmenter.Execute(*image, nullptr);
  const auto executed = Clock::now();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("execute %dx%d 8-bit, %d labels: %.2f s, %d results, peak resident memory %.0f MiB\n",
              size, size, labelCount, Seconds(start, executed), results->Count(),
              static_cast<double>(usage.ru_maxrss) / 1024.0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    // One segmenter per label on each of the machine's cores, as a host would configure it.
    VisionToolMultiThreading::setEnable(true);
    VisionToolMultiThreading::setThreadCount(static_cast<int>(std::thread::hardware_concurrency()));
    if (argc == 4 && std::string(argv[1]) == "--memory") {
      return Memory(std::stoi(argv[2]), std::stoi(argv[3]));
    }
    if (argc == 2) return Compare(argv[1]);
    std::fprintf(stderr, "usage: engine_vs_peer <manifest.txt> | --memory <size> <labels>\n");
    return 2;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "engine_vs_peer failed: %s\n", error.what());
    return 1;
  }
}
