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

# Their public headers, relative to the repository root.
set(TAMRIX_CORE_GEOMETRY_HDRS
  interfaces/core/Collections.h
  interfaces/core/CoordinateSpaceTree.h
  interfaces/core/Ellipse.h
  interfaces/core/EllipticalAnnulusSection.h
  interfaces/core/EllipticalArc.h
  interfaces/core/GraphicInteractiveBase.h
  interfaces/core/GraphicInterfaces.h
  interfaces/core/LineSegment.h
  interfaces/core/PixelMask.h
  interfaces/core/Polygon.h
  interfaces/core/RectangleAffine.h
  interfaces/core/Transforms.h
  interfaces/core/Vect2.h
)
