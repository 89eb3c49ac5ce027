#include "tools/smartseg/SegmentationOutput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "interfaces/core/Settings.h"
#include "interfaces/core/TaskPool.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "tools/smartseg/ImageFiles.h"

namespace Smartseg {
namespace {

using Json = nlohmann::json;

// Blue-green-red colours, far apart for the first few labels.
const std::uint8_t kPalette[][3] = {{0, 0, 230},   {0, 200, 0},    {230, 80, 0},  {0, 210, 230},
                                    {200, 0, 200}, {230, 200, 0},  {0, 120, 255}, {128, 0, 64},
                                    {64, 128, 0},  {255, 255, 255}};

// The pictures are made row by row as the encoder asks for them: a result stays compact, and no
// picture is held whole. Grey rows of a label's result come from `draw`; a label without a result
// gives rows of 0.
using Result = Tamrix::Vision::SmartCore::ISmartSegmenterResult;
template <class Draw>
PngRows ResultRows(const Result* result, int width, int height, Draw draw) {
  PngRows rows{width, height, PngRows::Samples::Grey8, {}};
  rows.row = [result, width, draw](int y, unsigned char* out) {
    if (result == nullptr) {
      std::fill_n(out, width, 0);
      return;
    }
    draw(*result, y, out);
  };
  return rows;
}

PngRows MaskRows(const Result* result, int width, int height) {
  return ResultRows(result, width, height, [width](const Result& r, int y, unsigned char* out) {
    r.MaskRow(y, out);
    for (int x = 0; x < width; ++x) out[x] = out[x] != 0 ? 255 : 0;
  });
}

PngRows ProbabilityRows(const Result* result, int width, int height) {
  return ResultRows(result, width, height, [width](const Result& r, int y, unsigned char* out) {
    thread_local std::vector<float> probabilities;
    probabilities.resize(static_cast<std::size_t>(width));
    r.ProbabilityRow(y, probabilities.data());
    for (int x = 0; x < width; ++x) {
      out[x] = static_cast<std::uint8_t>(std::lround(probabilities[x] * 255.0f));
    }
  });
}

// The picture (16-bit grey scaled by 1/256) with each labelled pixel halfway to its label's
// colour.
// A 16-bit sample divided by 256 and rounded to the nearest byte, halves to even.
std::uint8_t ScaledTo8Bits(std::uint16_t sample) {
  int whole = sample >> 8;
  const int rest = sample & 0xFF;
  if (rest > 128 || (rest == 128 && (whole & 1) != 0)) ++whole;
  return static_cast<std::uint8_t>(std::min(whole, 255));
}

PngRows OverlayRows(const Picture& pixels, const Picture& values) {
  PngRows rows{pixels.Width(), pixels.Height(), PngRows::Samples::Rgb8, {}};
  rows.row = [&pixels, &values](int y, unsigned char* out) {
    const int width = pixels.Width();
    if (pixels.IsBgr8()) {
      const unsigned char* bgr = pixels.Row(y);
      for (int x = 0; x < width; ++x) {
        out[3 * x] = bgr[3 * x + 2];
        out[3 * x + 1] = bgr[3 * x + 1];
        out[3 * x + 2] = bgr[3 * x];
      }
    } else if (pixels.IsGrey16()) {
      const std::uint16_t* grey = pixels.Row<std::uint16_t>(y);
      for (int x = 0; x < width; ++x) {
        out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = ScaledTo8Bits(grey[x]);
      }
    } else {
      const unsigned char* grey = pixels.Row(y);
      for (int x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = grey[x];
    }
    constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);
    // Label values are read where they are (8 or 16 bits): a widened copy of a large label image
    // would be the largest buffer of the run.
    const bool wide = values.IsGrey16();
    const std::uint8_t* narrowValues = values.Row(y);
    const std::uint16_t* wideValues = values.Row<std::uint16_t>(y);
    for (int x = 0; x < width; ++x) {
      const int value = wide ? wideValues[x] : narrowValues[x];
      if (value == 0) continue;
      const std::uint8_t* colour = kPalette[(value - 1) % kPaletteSize];
      for (int c = 0; c < 3; ++c) {
        unsigned char& sample = out[3 * x + c];
        sample = static_cast<std::uint8_t>((sample + colour[2 - c] + 1) / 2);
      }
    }
  };
  return rows;
}

// Box of the label's pixels: x, y, width, height; all 0 for none.
Json PixelBox(const Tamrix::Vision::SmartCore::ISmartSegmenterResult* result) {
  if (result == nullptr || result->Area() == 0) return Json::array({0, 0, 0, 0});
  // Bounds() covers whole pixels: [x0 - 0.5, x1 + 0.5] x [y0 - 0.5, y1 + 0.5].
  const Tamrix::Vision::BoundingBox b = result->Bounds();
  return Json::array({std::lround(b.X0 + 0.5), std::lround(b.Y0 + 0.5), std::lround(b.X1 - b.X0),
                      std::lround(b.Y1 - b.Y0)});
}

// The length of the UTF-8 letter sequence at `position` that may stay in a file name (a
// well-formed sequence for a code point from U+00A0 up), or 0.
std::size_t KeptSequenceAt(const std::string& name, std::size_t position) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(name[i]); };
  const unsigned char lead = byte(position);
  const std::size_t length = (lead & 0xe0) == 0xc0   ? 2
                             : (lead & 0xf0) == 0xe0 ? 3
                             : (lead & 0xf8) == 0xf0 ? 4
                                                     : 0;
  if (length == 0 || position + length > name.size()) return 0;
  const std::string_view sequence(name.data() + position, length);
  if (!IsValidUtf8(sequence)) return 0;
  // U+0080..U+009F are the C1 controls.
  if (lead == 0xc2 && byte(position + 1) < 0xa0) return 0;
  return length;
}

const char* kLabelsSuffix = "labels";

// Images up to this size have their output files drawn and encoded on several threads.
constexpr double kParallelOutputPixels = 16.0 * 1024 * 1024;

const char* kOverlaySuffix = "overlay";

std::filesystem::path OutputPath(const SegmentationFiles& files, const std::string& suffix) {
  return files.folder / (files.stem + "_" + suffix + ".png");
}

}  // namespace

std::vector<LabelResult> InLabelOrder(
    const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& model,
    const Tamrix::Vision::SmartCore::SmartSegmenterResults& results) {
  std::map<std::string, std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult>> byName;
  for (int i = 0; i < results.Count(); ++i) {
    const auto result = results.Item(i);
    if (result) byName.emplace(result->LabelName(), result);
  }
  std::vector<LabelResult> ordered;
  const auto labels = model.Labels();
  for (int i = 0; i < labels->Count(); ++i) {
    const std::string name = labels->Item(i)->Name();
    const auto found = byName.find(name);
    ordered.push_back({name, found == byName.end() ? nullptr : found->second});
  }
  return ordered;
}

Picture LabelValueImage(const std::vector<LabelResult>& labels, int width, int height) {
  const bool wide = labels.size() > 255;
  Picture values(width, height, 1, wide ? Picture::Depth::Bits16 : Picture::Depth::Bits8);
  const std::size_t count = std::min<std::size_t>(labels.size(), 65535);
  // Row by row: each label's probabilities of the row, then the most probable label of each pixel
  // (the first of equals; none where every label has 0). Bands of rows go to the workers.
  constexpr int kBandRows = 32;
  const int bands = (height + kBandRows - 1) / kBandRows;
  const int workers = Tamrix::Vision::VisionToolMultiThreading::Workers();
  Tamrix::Vision::RunTasks(bands, workers, [&](int band, int) {
    std::vector<float> best(static_cast<std::size_t>(width)), row(static_cast<std::size_t>(width));
    std::vector<std::uint16_t> value(static_cast<std::size_t>(width));
    for (int y = band * kBandRows; y < std::min(height, (band + 1) * kBandRows); ++y) {
      std::fill(best.begin(), best.end(), 0.0f);
      std::fill(value.begin(), value.end(), 0);
      for (std::size_t k = 0; k < count; ++k) {
        if (!labels[k].result) continue;
        labels[k].result->ProbabilityRow(y, row.data());
        for (int x = 0; x < width; ++x) {
          if (row[x] > best[x]) {
            best[x] = row[x];
            value[x] = static_cast<std::uint16_t>(k + 1);
          }
        }
      }
      if (wide) {
        std::copy(value.begin(), value.end(), values.Row<std::uint16_t>(y));
      } else {
        std::transform(value.begin(), value.end(), values.Row(y),
                       [](std::uint16_t v) { return static_cast<std::uint8_t>(v); });
      }
    }
  });
  return values;
}

std::string LabelFileName(const std::string& name) {
  std::string file;
  for (std::size_t i = 0; i < name.size();) {
    const char c = name[i];
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_';
    if (plain) {
      file += c;
      ++i;
      continue;
    }
    const std::size_t letter = KeptSequenceAt(name, i);
    if (letter > 0) {
      file.append(name, i, letter);
      i += letter;
      continue;
    }
    char escaped[4];
    std::snprintf(escaped, sizeof(escaped), "%%%02X", static_cast<unsigned char>(c));
    file += escaped;
    ++i;
  }
  if (file == kLabelsSuffix || file == kOverlaySuffix || file.empty() || file[0] == '.' ||
      file.rfind("label_", 0) == 0 ||
      (file.size() >= 5 && file.compare(file.size() - 5, 5, "_prob") == 0)) {
    file = "label_" + file;
  }
  return file;
}

std::vector<std::filesystem::path> SegmentationFileNames(const SegmentationFiles& files) {
  std::vector<std::filesystem::path> names;
  for (const LabelResult& label : files.labels) {
    const std::string fileName = LabelFileName(label.name);
    names.push_back(OutputPath(files, fileName));
    if (files.probabilities) names.push_back(OutputPath(files, fileName + "_prob"));
  }
  names.push_back(OutputPath(files, kLabelsSuffix));
  names.push_back(OutputPath(files, kOverlaySuffix));
  names.push_back(files.folder / (files.stem + ".json"));
  return names;
}

nlohmann::json WriteSegmentation(const SegmentationFiles& files) {
  const int width = files.pixels.Width();
  const int height = files.pixels.Height();
  // The engine's thread count (smartseg --threads) also bounds the threads that write outputs.
  const int workers = Tamrix::Vision::VisionToolMultiThreading::Workers();
  const Picture values = LabelValueImage(files.labels, width, height);
  // Each image file: its path and how to draw it. They are drawn, encoded and staged side by side;
  // the JSON summary, staged last, is committed last.
  struct Output {
    std::filesystem::path path;
    PngRows rows;
  };
  std::vector<Output> outputs;
  const auto add = [&](const std::string& suffix, PngRows rows) {
    outputs.push_back(Output{OutputPath(files, suffix), std::move(rows)});
    return outputs.back().path.filename().string();
  };

  Json labels = Json::array();
  for (std::size_t k = 0; k < files.labels.size(); ++k) {
    const LabelResult& label = files.labels[k];
    const std::string fileName = LabelFileName(label.name);
    const auto* result = label.result.get();
    Json entry{{"name", label.name},
               {"value", k + 1},
               {"file", add(fileName, MaskRows(result, width, height))}};
    if (files.probabilities) {
      entry["probability_file"] = add(fileName + "_prob", ProbabilityRows(result, width, height));
    }
    entry["area"] = label.result ? label.result->Area() : 0;
    entry["bbox"] = PixelBox(label.result.get());
    labels.push_back(std::move(entry));
  }
  const Json labelImage{{"file", add(kLabelsSuffix, RowsOf(values))},
                        {"bits", values.IsGrey16() ? 16 : 8}};
  const Json overlay = add(kOverlaySuffix, OverlayRows(files.pixels, values));
  Json summary{{"image", files.imageName},
               {"labels", labels},
               {"label_image", labelImage},
               {"overlay", overlay},
               {"seconds", files.seconds}};

  FileSet set;
  // Large images are drawn and staged one file at a time (a drawn overlay alone is three bytes a
  // pixel, and the encoded files would all be held until the last one is done), each file's bands
  // deflated side by side.
  const bool sideBySide = static_cast<double>(width) * height <= kParallelOutputPixels;
  if (!sideBySide || workers <= 1) {
    for (Output& output : outputs) {
      set.Stage(output.path, EncodePng(output.rows, output.path, workers));
    }
  } else {
    // Writing and syncing a file waits on the disk, not on a processor: each encoded file is
    // staged on a thread of its own while the workers go on encoding (inline where no thread can
    // start). Declared after the set, so that they have all ended before it could roll back.
    std::mutex stagingMutex;
    std::vector<std::future<void>> staging;
    const auto stage = [&](const std::filesystem::path& path, std::string encoded) {
      const auto bytes = std::make_shared<const std::string>(std::move(encoded));
      std::future<void> staged;
      try {
        staged = std::async(std::launch::async, [&set, path, bytes] { set.Stage(path, *bytes); });
      } catch (const std::system_error&) {
        set.Stage(path, *bytes);
        return;
      }
      const std::lock_guard<std::mutex> lock(stagingMutex);
      staging.push_back(std::move(staged));
    };
    // Last first: the overlay, three bytes a pixel of photograph, takes longest to encode, and the
    // other workers meanwhile get through the flat masks.
    Tamrix::Vision::RunTasks(static_cast<int>(outputs.size()), workers, [&](int task, int) {
      const Output& output = outputs[outputs.size() - 1 - static_cast<std::size_t>(task)];
      stage(output.path, EncodePng(output.rows, output.path, workers));
    });
    for (std::future<void>& staged : staging) staged.get();
  }
  // Names from files need not be UTF-8; the JSON stays valid with U+FFFD in their place.
  set.Stage(files.folder / (files.stem + ".json"),
            summary.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
  set.Commit();
  return summary;
}

}  // namespace Smartseg
