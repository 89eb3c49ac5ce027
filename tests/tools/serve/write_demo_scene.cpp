// Writes the first demo scene's image and its ground truth, for the browser tests:
//   serve_demo_scene IMAGE.png TRUTH.png
// The truth holds 1 + the index of each pixel's label in "background", "stripes", "grain".
#include <cstdio>

#include <opencv2/imgcodecs.hpp>

#include "tests/tools/support/PictureMat.h"
#include "tools/smartseg/DemoScenes.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: serve_demo_scene IMAGE.png TRUTH.png\n");
    return 2;
  }
  const auto scene = Smartseg::MakeDemoScenes().front();
  if (!cv::imwrite(argv[1], SmartsegTest::ToMat(scene.image)) ||
      !cv::imwrite(argv[2], SmartsegTest::ToMat(scene.truth))) {
    std::fprintf(stderr, "serve_demo_scene: cannot write %s or %s\n", argv[1], argv[2]);
    return 1;
  }
  return 0;
}
