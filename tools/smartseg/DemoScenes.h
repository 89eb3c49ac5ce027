// The bundled demonstration data: textured scenes with exact ground truth and sparse annotations.
#pragma once

#include <string>
#include <vector>

#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/Picture.h"

namespace Smartseg {

struct DemoScene {
  std::string name;
  // 8-bit grey.
  Picture image;
  // 8-bit grey: 1 + the index in DemoLabelNames() of the label each pixel belongs to.
  Picture truth;
  // A few polygons, rectangles and scribbles per label, in LabelMe coordinates; every annotated
  // pixel lies in its label's region.
  std::vector<LabelMeShape> annotations;
  // False for the scene kept back to test on.
  bool forTraining = true;
};

// "background", "stripes", "grain": a smooth, dark, lightly noisy background; bright oriented
// stripes; a light, coarse-grained noise. They differ in local mean and spread as well as in
// structure.
const std::vector<std::string>& DemoLabelNames();

// Four scenes, the same every time: three for training, the last one kept back.
std::vector<DemoScene> MakeDemoScenes();

// Per label, |predicted and true| / |predicted or true| over the pixels of `predicted` and `truth`
// (both holding 1 + label index, 0 for none); 1 for a label absent from both.
std::vector<double> LabelIoU(const Picture& predicted, const Picture& truth, int labelCount);

}  // namespace Smartseg
