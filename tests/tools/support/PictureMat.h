// The tests write fixtures and read the programs' files with OpenCV, independently of the
// programs' own codecs; these copy pictures between the two.
#pragma once

#include <cstring>

#include <opencv2/core.hpp>

#include "tools/smartseg/Picture.h"

namespace SmartsegTest {

inline cv::Mat ToMat(const Smartseg::Picture& picture) {
  const int depth = picture.SampleDepth() == Smartseg::Picture::Depth::Bits16 ? CV_16U : CV_8U;
  cv::Mat mat(picture.Height(), picture.Width(), CV_MAKETYPE(depth, picture.Channels()));
  for (int y = 0; y < picture.Height(); ++y) {
    std::memcpy(mat.ptr(y), picture.Row(y), picture.RowBytes());
  }
  return mat;
}

inline Smartseg::Picture ToPicture(const cv::Mat& mat) {
  Smartseg::Picture picture(
      mat.cols, mat.rows, mat.channels(),
      mat.depth() == CV_16U ? Smartseg::Picture::Depth::Bits16 : Smartseg::Picture::Depth::Bits8);
  for (int y = 0; y < mat.rows; ++y) std::memcpy(picture.Row(y), mat.ptr(y), picture.RowBytes());
  return picture;
}

}  // namespace SmartsegTest
