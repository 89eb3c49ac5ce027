// Saving and loading a trained operator: archive size, throughput, and loading measured against
// reading the same bytes from memory into a buffer (the floor any loader has to pay).
//
// The operator is made the way a host makes it: by its reflected name, with the real engine
// helper module. Eight labels, each with its own trained segmenter.
#include <benchmark/benchmark.h>

#include <rttr/type>

#include <cmath>
#include <cstdint>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/StringAppendBuffer.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
constexpr int kLabels = 8;
constexpr int kSize = 512;

// Eight horizontal bands, each with its own brightness and stripe period.
std::shared_ptr<Image8Grey> BandedImage(std::uint32_t seed) {
  auto image = std::make_shared<Image8Grey>(kToken, kSize, kSize);
  std::uint32_t state = seed;
  for (int y = 0; y < kSize; ++y) {
    const int band = y * kLabels / kSize;
    std::uint8_t* row = image->MutableRow(y);
    for (int x = 0; x < kSize; ++x) {
      state = state * 1664525u + 1013904223u;
      const double value = 30.0 + 25.0 * band + 12.0 * std::sin(x / (1.5 + band)) +
                           static_cast<double>((state >> 24) % 21) - 10.0;
      row[x] = static_cast<std::uint8_t>(std::lround(std::fmin(255.0, std::fmax(0.0, value))));
    }
  }
  return image;
}

std::shared_ptr<SmartSegmenterOperator> TrainedOperator() {
  sysSetLibrarySearchDirectory(L"" TAMRIX_STAGE_LIB_DIR);
  const rttr::variant created =
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator").create();
  auto op = created.get_value<std::shared_ptr<SmartSegmenterOperator>>();
  if (!op) throw std::runtime_error("the operator is not registered for reflection");

  std::vector<std::shared_ptr<SmartCore::SmartLabel>> labels;
  for (int i = 0; i < kLabels; ++i) {
    labels.push_back(std::make_shared<SmartCore::SmartLabel>(kToken, "band" + std::to_string(i)));
    op->Labels()->Add(labels.back());
  }
  const double bandHeight = static_cast<double>(kSize) / kLabels;
  for (std::uint32_t seed : {7u, 8u}) {
    auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, BandedImage(seed), true);
    for (int i = 0; i < kLabels; ++i) {
      const double top = i * bandHeight + 4, bottom = (i + 1) * bandHeight - 5;
      item->AddAssignment(
          labels[i],
          std::make_shared<Polygon>(
              kToken, std::vector<Point2D>{
                          {10, top}, {kSize - 10.0, top}, {kSize - 10.0, bottom}, {10, bottom}}));
    }
    op->SmartTrainDataDatabase()->Add(item);
  }
  op->Train();
  return op;
}

const std::shared_ptr<SmartSegmenterOperator>& Operator() {
  static const auto op = TrainedOperator();
  return op;
}

const std::string& ArchiveBytes() {
  static const std::string bytes = [] {
    std::ostringstream out;
    Archiving::SaveObject(out, Operator());
    return out.str();
  }();
  return bytes;
}

// What is written goes into one string kept from iteration to iteration, as a file stream would
// hand it on. A fresh std::ostringstream per save would mostly measure the page faults of growing
// a new 15 MB string each time.
void BM_SaveOperator(benchmark::State& state) {
  const auto& op = Operator();
  std::string bytes;
  Archiving::StringAppendBuffer buffer(bytes);
  std::ostream out(&buffer);
  std::size_t size = 0;
  for (auto _ : state) {
    bytes.clear();
    Archiving::SaveObject(out, op);
    size = bytes.size();
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["archive_bytes"] = static_cast<double>(size);
}

void BM_LoadOperator(benchmark::State& state) {
  const std::string& bytes = ArchiveBytes();
  for (auto _ : state) {
    std::istringstream in(bytes);
    auto loaded = Archiving::LoadObject(in);
    benchmark::DoNotOptimize(loaded.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  state.counters["archive_bytes"] = static_cast<double>(bytes.size());
}

// The floor for loading: the same bytes read from a memory stream into a buffer.
void BM_ReadArchiveBytesIntoBuffer(benchmark::State& state) {
  const std::string& bytes = ArchiveBytes();
  for (auto _ : state) {
    std::istringstream in(bytes);
    std::vector<char> buffer(bytes.size());
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_SaveOperator)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadOperator)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadArchiveBytesIntoBuffer)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
