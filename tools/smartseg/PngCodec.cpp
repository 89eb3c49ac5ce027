// PNG through libpng. libpng reports errors by longjmp: every function below that calls into it
// sets its own jump point and holds no object with a destructor, so a jump skips no clean-up;
// the C++ objects (pixel buffers, the library's structures) live in the callers.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"

namespace Smartseg::detail {
namespace {

constexpr std::size_t kSignatureSize = 8;

// What the callbacks share with the code that called libpng.
struct PngContext {
  const unsigned char* data = nullptr;
  std::size_t size = 0;
  std::size_t offset = 0;
  char message[256] = {};
};

extern "C" void PngError(png_structp png, png_const_charp message) {
  auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
  std::snprintf(context->message, sizeof(context->message), "%s", message);
  png_longjmp(png, 1);
}

// Warnings (an unknown chunk, a bad checksum in an ancillary chunk) do not stop decoding and are
// not the user's business.
extern "C" void PngWarning(png_structp, png_const_charp) {}

extern "C" void PngReadBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
  if (length > context->size - context->offset) {
    png_error(png, "the file ends before the image does (it is truncated)");
  }
  std::memcpy(out, context->data + context->offset, length);
  context->offset += length;
}

struct PngHeader {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
};

bool ReadHeader(png_structp png, png_infop info, PngHeader* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);
  header->bitDepth = png_get_bit_depth(png, info);
  header->colourType = png_get_color_type(png, info);
  return true;
}

// Asks for whole bytes per sample, transparency as an alpha channel, little-endian 16-bit samples
// and blue-green-red order; returns the channel count and depth of the rows that come out.
bool SetTransforms(png_structp png, png_infop info, const PngHeader* header, int* channels,
                   int* bitDepth) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (header->colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if ((header->colourType & PNG_COLOR_MASK_COLOR) == 0 && header->bitDepth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (header->bitDepth == 16) png_set_swap(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  *channels = png_get_channels(png, info);
  *bitDepth = png_get_bit_depth(png, info);
  return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  return true;
}

class ReadStructs {
 public:
  explicit ReadStructs(PngContext& context) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, PngError, PngWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~ReadStructs() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
  ReadStructs(const ReadStructs&) = delete;
  ReadStructs& operator=(const ReadStructs&) = delete;
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

std::vector<png_bytep> RowPointers(Picture& pixels) {
  std::vector<png_bytep> rows(static_cast<std::size_t>(pixels.Height()));
  for (int y = 0; y < pixels.Height(); ++y) rows[static_cast<std::size_t>(y)] = pixels.Row(y);
  return rows;
}

}  // namespace

bool IsPng(const std::string& bytes) {
  return bytes.size() >= kSignatureSize &&
         png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, kSignatureSize) == 0;
}

DecodedPixels DecodePng(const std::string& bytes, const std::filesystem::path& source) {
  PngContext context;
  context.data = reinterpret_cast<const unsigned char*>(bytes.data());
  context.size = bytes.size();
  ReadStructs structs(context);
  if (!structs.png() || !structs.info()) throw std::bad_alloc();
  png_set_read_fn(structs.png(), &context, PngReadBytes);
  const auto failed = [&] {
    return WorkError(source, std::string("cannot decode the PNG image: ") + context.message);
  };
  PngHeader header;
  if (!ReadHeader(structs.png(), structs.info(), &header)) throw failed();
  CheckImageSize(header.width, header.height, source);

  int channels = 0;
  int bitDepth = 0;
  if (!SetTransforms(structs.png(), structs.info(), &header, &channels, &bitDepth)) throw failed();
  DecodedPixels decoded;
  decoded.fromPalette = header.colourType == PNG_COLOR_TYPE_PALETTE;
  decoded.pixels =
      Picture(static_cast<int>(header.width), static_cast<int>(header.height), channels,
              bitDepth == 16 ? Picture::Depth::Bits16 : Picture::Depth::Bits8);
  std::vector<png_bytep> rows = RowPointers(decoded.pixels);
  if (!ReadRows(structs.png(), rows.data())) throw failed();
  return decoded;
}

}  // namespace Smartseg::detail
