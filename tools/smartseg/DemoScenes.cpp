#include "tools/smartseg/DemoScenes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace Smartseg {
namespace {

using Tamrix::Vision::Point2D;

constexpr int kWidth = 320;
constexpr int kHeight = 256;
constexpr double kPi = 3.14159265358979323846;
constexpr std::uint8_t kBackground = 1;
constexpr std::uint8_t kStripes = 2;
constexpr std::uint8_t kGrain = 3;

// Deterministic noise, the same on every platform.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  // Uniform in [-amplitude, amplitude].
  int Next(int amplitude) {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(2 * amplitude + 1)) -
           amplitude;
  }

 private:
  std::uint32_t state_;
};

// A smooth closed region: radius * (1 + wobble * sin(3 * angle + phase)) around a centre.
struct Blob {
  Point2D centre;
  double radius;
  double wobble;
  double phase;

  double RadiusAt(double angle) const {
    return radius * (1.0 + wobble * std::sin(3.0 * angle + phase));
  }
  bool Contains(double x, double y) const {
    const double dx = x - centre.X;
    const double dy = y - centre.Y;
    return std::hypot(dx, dy) <= RadiusAt(std::atan2(dy, dx));
  }
};

struct SceneLayout {
  const char* name;
  Blob stripes;
  Blob grain;
  double stripeAngle;
  std::uint32_t seed;
  bool forTraining;
};

const SceneLayout kLayouts[] = {
    {"scene1", {{92, 100}, 58, 0.12, 0.3}, {{228, 150}, 56, 0.10, 1.9}, 0.5, 11, true},
    {"scene2", {{226, 104}, 56, 0.14, 2.4}, {{94, 152}, 58, 0.12, 0.7}, 2.1, 23, true},
    {"scene3", {{100, 150}, 60, 0.10, 4.0}, {{220, 96}, 54, 0.14, 3.1}, 1.2, 37, true},
    {"scene4", {{218, 152}, 57, 0.13, 5.1}, {{100, 98}, 57, 0.11, 2.6}, 2.7, 53, false},
};

std::uint8_t Clamp(double value) {
  return static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(value)), 0, 255));
}

// LabelMe coordinates of the framework point (x, y): pixel centres sit at half numbers there.
Point2D LabelMePoint(double x, double y) { return {x + 0.5, y + 0.5}; }

LabelMeShape Hexagon(const std::string& label, const Point2D& centre, double radius, double turn) {
  LabelMeShape shape{label, "polygon", {}};
  for (int i = 0; i < 6; ++i) {
    const double angle = turn + i * kPi / 3.0;
    shape.points.push_back(
        LabelMePoint(centre.X + radius * std::cos(angle), centre.Y + radius * std::sin(angle)));
  }
  return shape;
}

// A zig-zag scribble through the blob's centre, well inside its smallest radius.
LabelMeShape Scribble(const std::string& label, const Blob& blob, double angle) {
  LabelMeShape shape{label, "linestrip", {}};
  const double reach = 0.6 * blob.radius * (1.0 - blob.wobble);
  for (int i = 0; i <= 6; ++i) {
    const double along = -reach + 2.0 * reach * i / 6.0;
    const double across = (i % 2 == 0 ? 1.0 : -1.0) * 0.15 * blob.radius;
    shape.points.push_back(
        LabelMePoint(blob.centre.X + along * std::cos(angle) - across * std::sin(angle),
                     blob.centre.Y + along * std::sin(angle) + across * std::cos(angle)));
  }
  return shape;
}

// A stroke along part of the blob's outline, `offset` pixels outside it (inside when negative),
// the way one marks both sides of a boundary that matters.
LabelMeShape OutlineStroke(const std::string& label, const Blob& blob, double offset, double from,
                           double to) {
  LabelMeShape shape{label, "linestrip", {}};
  constexpr int kSteps = 24;
  for (int i = 0; i <= kSteps; ++i) {
    const double angle = from + (to - from) * i / kSteps;
    const double radius = blob.RadiusAt(angle) + offset;
    shape.points.push_back(LabelMePoint(blob.centre.X + radius * std::cos(angle),
                                        blob.centre.Y + radius * std::sin(angle)));
  }
  return shape;
}

std::vector<LabelMeShape> Annotate(const SceneLayout& layout) {
  const auto& names = DemoLabelNames();
  std::vector<LabelMeShape> shapes;
  // Background: two corner rectangles and two scribbles along the top and bottom edges.
  shapes.push_back({names[0], "rectangle", {LabelMePoint(4, 4), LabelMePoint(40, 36)}});
  shapes.push_back(
      {names[0],
       "rectangle",
       {LabelMePoint(kWidth - 44, kHeight - 40), LabelMePoint(kWidth - 6, kHeight - 6)}});
  shapes.push_back({names[0],
                    "linestrip",
                    {LabelMePoint(50, 12), LabelMePoint(160, 16), LabelMePoint(270, 10)}});
  shapes.push_back(
      {names[0], "line", {LabelMePoint(50, kHeight - 10), LabelMePoint(260, kHeight - 14)}});
  const Blob* blobs[] = {&layout.stripes, &layout.grain};
  for (int k = 0; k < 2; ++k) {
    const Blob& blob = *blobs[k];
    const std::string& name = names[k + 1];
    shapes.push_back(Hexagon(name, blob.centre, 0.3 * blob.radius, layout.stripeAngle));
    shapes.push_back(Scribble(name, blob, layout.stripeAngle + 1.0 + k));
  }
  // Both sides of a third of each outline, where the textures meet.
  for (int k = 0; k < 2; ++k) {
    const Blob& blob = *blobs[k];
    const double from = layout.stripeAngle + 2.0 * k;
    shapes.push_back(OutlineStroke(names[0], blob, 4.0, from, from + 2.0));
    shapes.push_back(OutlineStroke(names[k + 1], blob, -4.0, from, from + 2.0));
  }
  return shapes;
}

// Throws when an annotated vertex is not in its label's region: the annotations must be sparse
// but never wrong.
void CheckAnnotations(const DemoScene& scene) {
  const auto& names = DemoLabelNames();
  for (const LabelMeShape& shape : scene.annotations) {
    const auto label = std::find(names.begin(), names.end(), shape.label) - names.begin() + 1;
    for (const Point2D& point : shape.points) {
      const int x = static_cast<int>(std::lround(point.X - 0.5));
      const int y = static_cast<int>(std::lround(point.Y - 0.5));
      if (x < 0 || y < 0 || x >= kWidth || y >= kHeight || scene.truth.Row(y)[x] != label) {
        throw std::logic_error("demo scene " + scene.name + ": an annotation of '" + shape.label +
                               "' strays out of its region");
      }
    }
  }
}

DemoScene Render(const SceneLayout& layout) {
  DemoScene scene;
  scene.name = layout.name;
  scene.forTraining = layout.forTraining;
  scene.image = Picture::Grey8(kWidth, kHeight);
  scene.truth = Picture::Grey8(kWidth, kHeight);
  Noise noise(layout.seed);
  // Grain: one random level per 4 x 4 cell.
  constexpr int kCell = 4;
  std::vector<int> cells((kWidth / kCell + 1) * (kHeight / kCell + 1));
  for (int& cell : cells) cell = 200 + noise.Next(30);
  const double cosine = std::cos(layout.stripeAngle);
  const double sine = std::sin(layout.stripeAngle);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      std::uint8_t label = kBackground;
      if (layout.stripes.Contains(x, y)) label = kStripes;
      if (layout.grain.Contains(x, y)) label = kGrain;
      double value = 0.0;
      if (label == kBackground) {
        value = 70.0 + 10.0 * std::sin(x / 40.0) * std::cos(y / 50.0);
      } else if (label == kStripes) {
        value = 140.0 + 45.0 * std::sin(2.0 * kPi * (x * cosine + y * sine) / 8.0);
      } else {
        value = cells[(y / kCell) * (kWidth / kCell + 1) + x / kCell];
      }
      scene.image.Row(y)[x] = Clamp(value + noise.Next(6));
      scene.truth.Row(y)[x] = label;
    }
  }
  scene.annotations = Annotate(layout);
  CheckAnnotations(scene);
  return scene;
}

}  // namespace

const std::vector<std::string>& DemoLabelNames() {
  static const std::vector<std::string> names = {"background", "stripes", "grain"};
  return names;
}

std::vector<DemoScene> MakeDemoScenes() {
  std::vector<DemoScene> scenes;
  for (const SceneLayout& layout : kLayouts) scenes.push_back(Render(layout));
  return scenes;
}

std::vector<double> LabelIoU(const Picture& predicted, const Picture& truth, int labelCount) {
  std::vector<long long> both(labelCount + 1, 0);
  std::vector<long long> either(labelCount + 1, 0);
  for (int y = 0; y < truth.Height(); ++y) {
    for (int x = 0; x < truth.Width(); ++x) {
      const int p = predicted.Row(y)[x];
      const int t = truth.Row(y)[x];
      if (p == t && p > 0 && p <= labelCount) {
        ++both[p];
        ++either[p];
        continue;
      }
      if (p > 0 && p <= labelCount) ++either[p];
      if (t > 0 && t <= labelCount) ++either[t];
    }
  }
  std::vector<double> iou;
  for (int k = 1; k <= labelCount; ++k) {
    iou.push_back(either[k] == 0 ? 1.0
                                 : static_cast<double>(both[k]) / static_cast<double>(either[k]));
  }
  return iou;
}

}  // namespace Smartseg
