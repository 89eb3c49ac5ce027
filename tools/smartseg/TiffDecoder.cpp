// TIFF through libtiff, reading from memory. Grey images are read strip by strip or tile by tile
// so that 16-bit values stay exact; every other 8-bit layout (colour, palette, planar, YCbCr) goes
// through libtiff's RGBA reader, which knows them all.
#include <dlfcn.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"

namespace Smartseg::detail {
namespace {

// libtiff is loaded the first time a TIFF file is decoded: with the eight compression libraries it
// pulls in it would add about a millisecond to every start of the programs, most of which never
// see a TIFF file. These stand in for its functions, and hide the declarations of <tiffio.h>.
decltype(&::TIFFClientOpenExt) TIFFClientOpenExt = nullptr;
decltype(&::TIFFClose) TIFFClose = nullptr;
decltype(&::TIFFComputeStrip) TIFFComputeStrip = nullptr;
decltype(&::TIFFGetField) TIFFGetField = nullptr;
decltype(&::TIFFGetFieldDefaulted) TIFFGetFieldDefaulted = nullptr;
decltype(&::TIFFIsTiled) TIFFIsTiled = nullptr;
decltype(&::TIFFNumberOfDirectories) TIFFNumberOfDirectories = nullptr;
decltype(&::TIFFOpenOptionsAlloc) TIFFOpenOptionsAlloc = nullptr;
decltype(&::TIFFOpenOptionsFree) TIFFOpenOptionsFree = nullptr;
decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) TIFFOpenOptionsSetErrorHandlerExtR = nullptr;
decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) TIFFOpenOptionsSetWarningHandlerExtR = nullptr;
decltype(&::TIFFRGBAImageOK) TIFFRGBAImageOK = nullptr;
decltype(&::TIFFReadEncodedStrip) TIFFReadEncodedStrip = nullptr;
decltype(&::TIFFReadRGBAImageOriented) TIFFReadRGBAImageOriented = nullptr;
decltype(&::TIFFReadTile) TIFFReadTile = nullptr;
decltype(&::TIFFTileSize) TIFFTileSize = nullptr;

// Fills the pointers above once; throws WorkError naming `source` when libtiff cannot be loaded.
void LoadLibtiff(const std::filesystem::path& source) {
  static std::once_flag once;
  static std::string failure;
  std::call_once(once, [] {
    void* library = ::dlopen(SMARTSEG_LIBTIFF, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* reason = ::dlerror();
      failure =
          std::string("libtiff could not be loaded (") + (reason ? reason : SMARTSEG_LIBTIFF) + ")";
      return;
    }
    const auto find = [library](auto& function, const char* name) {
      function =
          reinterpret_cast<std::remove_reference_t<decltype(function)>>(::dlsym(library, name));
      if (function == nullptr && failure.empty()) {
        failure = std::string("libtiff (" SMARTSEG_LIBTIFF ") has no function ") + name;
      }
    };
    find(TIFFClientOpenExt, "TIFFClientOpenExt");
    find(TIFFClose, "TIFFClose");
    find(TIFFComputeStrip, "TIFFComputeStrip");
    find(TIFFGetField, "TIFFGetField");
    find(TIFFGetFieldDefaulted, "TIFFGetFieldDefaulted");
    find(TIFFIsTiled, "TIFFIsTiled");
    find(TIFFNumberOfDirectories, "TIFFNumberOfDirectories");
    find(TIFFOpenOptionsAlloc, "TIFFOpenOptionsAlloc");
    find(TIFFOpenOptionsFree, "TIFFOpenOptionsFree");
    find(TIFFOpenOptionsSetErrorHandlerExtR, "TIFFOpenOptionsSetErrorHandlerExtR");
    find(TIFFOpenOptionsSetWarningHandlerExtR, "TIFFOpenOptionsSetWarningHandlerExtR");
    find(TIFFRGBAImageOK, "TIFFRGBAImageOK");
    find(TIFFReadEncodedStrip, "TIFFReadEncodedStrip");
    find(TIFFReadRGBAImageOriented, "TIFFReadRGBAImageOriented");
    find(TIFFReadTile, "TIFFReadTile");
    find(TIFFTileSize, "TIFFTileSize");
  });
  if (!failure.empty()) throw WorkError(source, "cannot decode the TIFF image: " + failure);
}

struct TiffContext {
  const char* data = nullptr;
  toff_t size = 0;
  toff_t offset = 0;
  char message[256] = {};
};

extern "C" tmsize_t TiffRead(thandle_t handle, void* out, tmsize_t length) {
  auto* context = static_cast<TiffContext*>(handle);
  if (length <= 0 || context->offset >= context->size) return 0;
  const toff_t count =
      std::min<toff_t>(static_cast<toff_t>(length), context->size - context->offset);
  std::memcpy(out, context->data + context->offset, count);
  context->offset += count;
  return static_cast<tmsize_t>(count);
}

extern "C" tmsize_t TiffWrite(thandle_t, void*, tmsize_t) { return 0; }

extern "C" toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
  auto* context = static_cast<TiffContext*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = context->offset;
  if (whence == SEEK_END) base = context->size;
  context->offset = base + offset;
  return context->offset;
}

extern "C" int TiffClose(thandle_t) { return 0; }
extern "C" toff_t TiffSize(thandle_t handle) { return static_cast<TiffContext*>(handle)->size; }
extern "C" int TiffMap(thandle_t, void**, toff_t*) { return 0; }
extern "C" void TiffUnmap(thandle_t, void*, toff_t) {}

// The first error is the cause; later ones are consequences.
extern "C" int TiffError(TIFF*, void* user, const char*, const char* format, va_list arguments) {
  auto* context = static_cast<TiffContext*>(user);
  if (context->message[0] == '\0') {
    std::vsnprintf(context->message, sizeof(context->message), format, arguments);
  }
  return 1;
}

extern "C" int TiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFree {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

struct TiffLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samples = 1;
  std::uint16_t bits = 1;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  std::uint16_t format = SAMPLEFORMAT_UINT;
  std::uint16_t planar = PLANARCONFIG_CONTIG;
};

std::string Describe(const TiffLayout& layout) {
  std::string kind = layout.format == SAMPLEFORMAT_IEEEFP ? "floating-point"
                     : layout.format == SAMPLEFORMAT_INT  ? "signed"
                                                          : "unsigned";
  return std::to_string(layout.bits) + "-bit " + kind + " samples, " +
         std::to_string(layout.samples) + " per pixel";
}

// Grey (with an optional extra channel, which the caller drops as alpha) read exactly, 8 or 16
// bits, from strips or tiles.
Picture ReadGrey(TIFF* tiff, const TiffLayout& layout, const TiffContext& context,
                 const std::filesystem::path& source) {
  Picture pixels(static_cast<int>(layout.width), static_cast<int>(layout.height),
                 static_cast<int>(layout.samples),
                 layout.bits == 16 ? Picture::Depth::Bits16 : Picture::Depth::Bits8);
  const std::size_t pixelBytes = pixels.PixelBytes();
  const auto failed = [&] {
    return WorkError(source, std::string("cannot decode the TIFF image: ") +
                                 (context.message[0] ? context.message : "damaged image data"));
  };
  if (TIFFIsTiled(tiff)) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileSize = TIFFTileSize(tiff);
    if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0 ||
        static_cast<std::uint64_t>(tileSize) < std::uint64_t{tileWidth} * tileHeight * pixelBytes) {
      throw failed();
    }
    std::vector<unsigned char> tile(static_cast<std::size_t>(tileSize));
    for (std::uint32_t y = 0; y < layout.height; y += tileHeight) {
      for (std::uint32_t x = 0; x < layout.width; x += tileWidth) {
        if (TIFFReadTile(tiff, tile.data(), x, y, 0, 0) < 0) throw failed();
        const std::uint32_t rows = std::min(tileHeight, layout.height - y);
        const std::uint32_t columns = std::min(tileWidth, layout.width - x);
        for (std::uint32_t row = 0; row < rows; ++row) {
          std::memcpy(pixels.Row(static_cast<int>(y + row)) + x * pixelBytes,
                      tile.data() + std::size_t{row} * tileWidth * pixelBytes,
                      columns * pixelBytes);
        }
      }
    }
  } else {
    std::uint32_t rowsPerStrip = layout.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::max<std::uint32_t>(1, std::min(rowsPerStrip, layout.height));
    const std::size_t rowBytes = layout.width * pixelBytes;
    std::vector<unsigned char> strip(rowBytes * rowsPerStrip);
    for (std::uint32_t y = 0; y < layout.height; y += rowsPerStrip) {
      const std::uint32_t rows = std::min(rowsPerStrip, layout.height - y);
      const tmsize_t got = TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, y, 0), strip.data(),
                                                static_cast<tmsize_t>(rowBytes * rows));
      if (got < static_cast<tmsize_t>(rowBytes * rows)) throw failed();
      for (std::uint32_t row = 0; row < rows; ++row) {
        std::memcpy(pixels.Row(static_cast<int>(y + row)), strip.data() + row * rowBytes, rowBytes);
      }
    }
  }
  if (layout.photometric == PHOTOMETRIC_MINISWHITE) {
    // White is 0: the grey sample is turned over, an extra channel left as it is.
    const auto channels = static_cast<std::size_t>(layout.samples);
    for (int y = 0; y < pixels.Height(); ++y) {
      if (layout.bits == 16) {
        std::uint16_t* row = pixels.Row<std::uint16_t>(y);
        for (int x = 0; x < pixels.Width(); ++x) {
          row[x * channels] = static_cast<std::uint16_t>(65535 - row[x * channels]);
        }
      } else {
        std::uint8_t* row = pixels.Row(y);
        for (int x = 0; x < pixels.Width(); ++x) {
          row[x * channels] = static_cast<std::uint8_t>(255 - row[x * channels]);
        }
      }
    }
  }
  return pixels;
}

// Any 8-bit layout libtiff can turn into RGBA, as blue-green-red-alpha.
Picture ReadRgba(TIFF* tiff, const TiffLayout& layout, const TiffContext& context,
                 const std::filesystem::path& source) {
  Picture pixels(static_cast<int>(layout.width), static_cast<int>(layout.height), 4);
  // libtiff packs each pixel as 0xAABBGGRR, which in memory on a little-endian machine is R, G, B,
  // A; it asks for a raster of exactly width x height words.
  if (!TIFFReadRGBAImageOriented(tiff, layout.width, layout.height,
                                 reinterpret_cast<std::uint32_t*>(pixels.Row(0)),
                                 ORIENTATION_TOPLEFT, 0)) {
    throw WorkError(source, std::string("cannot decode the TIFF image: ") +
                                (context.message[0] ? context.message : "damaged image data"));
  }
  for (int y = 0; y < pixels.Height(); ++y) {
    std::uint8_t* row = pixels.Row(y);
    for (int x = 0; x < pixels.Width(); ++x) std::swap(row[4 * x], row[4 * x + 2]);
  }
  return pixels;
}

}  // namespace

bool IsTiff(const std::string& bytes) {
  return bytes.size() >= 4 &&
         (bytes.compare(0, 4, "II*\0", 4) == 0 || bytes.compare(0, 4, "MM\0*", 4) == 0 ||
          bytes.compare(0, 4, "II+\0", 4) == 0 || bytes.compare(0, 4, "MM\0+", 4) == 0);
}

DecodedPixels DecodeTiff(const std::string& bytes, const std::filesystem::path& source) {
  LoadLibtiff(source);
  TiffContext context;
  context.data = bytes.data();
  context.size = bytes.size();
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), TiffError, &context);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), TiffWarning, &context);
  // "m": no memory mapping, the data is in memory already.
  std::unique_ptr<TIFF, TiffCloser> tiff(
      TIFFClientOpenExt(source.string().c_str(), "rm", &context, TiffRead, TiffWrite, TiffSeek,
                        TiffClose, TiffSize, TiffMap, TiffUnmap, options.get()));
  const auto failed = [&] {
    return WorkError(source, std::string("cannot decode the TIFF image: ") +
                                 (context.message[0] ? context.message : "damaged file"));
  };
  if (!tiff) throw failed();
  const tdir_t pages = TIFFNumberOfDirectories(tiff.get());
  if (pages > 1) {
    throw WorkError(source, "the TIFF file holds " + std::to_string(pages) +
                                " pages; smartseg reads single-page images (save the page to "
                                "use as a file of its own)");
  }
  TiffLayout layout;
  if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &layout.width) ||
      !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &layout.height)) {
    throw WorkError(source, "cannot decode the TIFF image: its size is missing");
  }
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &layout.bits);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &layout.format);
  TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &layout.planar);
  if (!TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &layout.photometric)) {
    layout.photometric = layout.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  }
  CheckImageSize(layout.width, layout.height, source);

  const bool grey =
      layout.photometric == PHOTOMETRIC_MINISBLACK || layout.photometric == PHOTOMETRIC_MINISWHITE;
  const bool palette = layout.photometric == PHOTOMETRIC_PALETTE;
  const bool supported =
      layout.format == SAMPLEFORMAT_UINT &&
      (layout.bits == 8 || (layout.bits < 8 && (grey || palette)) || (layout.bits == 16 && grey));
  if (!supported) {
    throw WorkError(source,
                    "unsupported pixels: expected 8-bit or 16-bit grey or 8-bit colour, "
                    "found " +
                        Describe(layout));
  }
  DecodedPixels decoded;
  decoded.fromPalette = palette;
  if (grey && (layout.bits == 8 || layout.bits == 16) && layout.samples <= 2 &&
      (layout.samples == 1 || layout.planar == PLANARCONFIG_CONTIG)) {
    decoded.pixels = ReadGrey(tiff.get(), layout, context, source);
    return decoded;
  }
  char reason[1024] = {};
  if (!TIFFRGBAImageOK(tiff.get(), reason)) {
    throw WorkError(source, std::string("unsupported TIFF image: ") + reason);
  }
  const Picture bgra = ReadRgba(tiff.get(), layout, context, source);
  if (grey) {
    // Bilevel and other grey layouts come back as equal red, green and blue.
    decoded.pixels = Picture(bgra.Width(), bgra.Height(), 2);
    for (int y = 0; y < bgra.Height(); ++y) {
      const std::uint8_t* from = bgra.Row(y);
      std::uint8_t* to = decoded.pixels.Row(y);
      for (int x = 0; x < bgra.Width(); ++x) {
        to[2 * x] = from[4 * x];
        to[2 * x + 1] = from[4 * x + 3];
      }
    }
  } else {
    decoded.pixels = bgra;
  }
  return decoded;
}

}  // namespace Smartseg::detail
