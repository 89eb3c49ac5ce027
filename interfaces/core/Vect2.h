// Two-dimensional points: the value type Point2D used by shapes, and the shareable Vect2.
#pragma once

#include <cstdint>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision {

// A point or vector in image coordinates (x to the right, y downwards).
struct Point2D {
  double X = 0.0;
  double Y = 0.0;

  friend bool operator==(const Point2D& a, const Point2D& b) { return a.X == b.X && a.Y == b.Y; }
  friend bool operator!=(const Point2D& a, const Point2D& b) { return !(a == b); }

  // Two doubles in the archive's byte order, x first.
  template <class Archive>
  void serialize(Archive& archive) {
    archive(X, Y);
  }
};

// A shareable two-dimensional vector. It has no changed event: owners that need notification
// hold points by value instead.
class Vect2 : public ShareableBase {
 public:
  explicit Vect2(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ShareableBase(token) {}
  Vect2(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, double x, double y)
      : ShareableBase(token), x_(x), y_(y) {}

  double X() const { return x_; }
  double Y() const { return y_; }
  void setX(double x) { x_ = x; }
  void setY(double y) { y_ = y; }

 private:
  Vect2() = default;
  friend class cereal::access;
  // Record: ShareableBase part, then x and y as doubles.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  double x_ = 0.0;
  double y_ = 0.0;

  RTTR_ENABLE(ShareableBase)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Vect2, 1)
