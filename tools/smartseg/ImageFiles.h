// Reading images into framework images and encoding result pictures. PNG, TIFF and JPEG are
// decoded with their reference libraries; each file's header is read first, so that an image
// too large for the pixel limit is refused before any pixel memory is taken.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "interfaces/core/ImageInterfaces.h"
#include "tools/smartseg/Picture.h"
#include "tools/smartseg/PngRows.h"

namespace Smartseg {

// An image file as the framework sees it (`image`) and as it was decoded (`pixels`: 8-bit grey,
// 16-bit grey or 8-bit blue-green-red).
struct LoadedImage {
  std::shared_ptr<Tamrix::Vision::IImage> image;
  Picture pixels;
};

// Images of more pixels than this are refused unless the limit is raised (2^28: a 16384 x 16384
// image, about 0.8 GB as colour).
constexpr std::uint64_t kDefaultPixelLimit = std::uint64_t{1} << 28;

// The largest width x height that ReadImage and DecodeImage accept, for the whole process.
void SetPixelLimit(std::uint64_t pixels);
std::uint64_t PixelLimit();

// Reads a PNG, TIFF or JPEG file holding 8-bit or 16-bit grey or 8-bit colour pixels; colour
// becomes the framework's planar colour image. A palette image whose colours are all grey is read
// as grey; an alpha channel is dropped, with a warning on stderr when some pixel is not opaque.
// Throws WorkError naming `path` for a missing file, a folder, an undecodable or truncated file,
// a multi-page TIFF, an image over the pixel limit, too little memory, and any other pixel format.
LoadedImage ReadImage(const std::filesystem::path& path);

// ReadImage for an image already in memory (such as one embedded in an annotation): `source`
// names it in messages.
LoadedImage DecodeImage(const std::string& bytes, const std::filesystem::path& source);

// The PNG encoding of `pixels` (8-bit grey, 16-bit grey or 8-bit blue-green-red), its bands
// deflated on up to `workers` threads (the bytes are the same for any number). Throws WorkError
// naming `path` (the file it is meant for).
std::string EncodePng(const Picture& pixels, const std::filesystem::path& path, int workers = 1);
// The same for a picture made row by row.
std::string EncodePng(const PngRows& rows, const std::filesystem::path& path, int workers = 1);

}  // namespace Smartseg
