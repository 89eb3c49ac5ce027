# Geometry sources of the core library, relative to platform/core.
set(TAMRIX_CORE_GEOMETRY_SRCS
  geometry/Collections.cpp
  geometry/CoordinateSpaceTree.cpp
  geometry/Ellipse.cpp
  geometry/EllipticalAnnulusSection.cpp
  geometry/EllipticalArc.cpp
  geometry/GeometryRegistration.cpp
  geometry/GraphicInteractiveBase.cpp
  geometry/LineSegment.cpp
  geometry/Polygon.cpp
  geometry/RectangleAffine.cpp
  geometry/ShapeMath.cpp
  geometry/Transforms.cpp
  geometry/Vect2.cpp
)
