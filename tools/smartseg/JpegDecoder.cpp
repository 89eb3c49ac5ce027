// JPEG through libjpeg. Like libpng it reports errors by longjmp, so the functions that call it
// hold no object with a destructor and the buffers live in the caller.
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"

namespace Smartseg::detail {
namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool truncated;
};

extern "C" void JpegExit(j_common_ptr info) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings (extraneous bytes between markers and the like) are not the user's business, except
// for a premature end, which libjpeg would pad with grey.
extern "C" void JpegMessage(j_common_ptr info, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(info->err);
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) errors->truncated = true;
}

struct JpegHeader {
  JDIMENSION width = 0;
  JDIMENSION height = 0;
  int components = 0;
  J_COLOR_SPACE space = JCS_UNKNOWN;
};

bool ReadHeader(jpeg_decompress_struct* info, JpegErrors* errors, const unsigned char* data,
                unsigned long size, JpegHeader* header) {
  if (setjmp(errors->jump)) return false;
  jpeg_create_decompress(info);
  jpeg_mem_src(info, data, size);
  jpeg_read_header(info, TRUE);
  header->width = info->image_width;
  header->height = info->image_height;
  header->components = info->num_components;
  header->space = info->jpeg_color_space;
  return true;
}

bool ReadRows(jpeg_decompress_struct* info, JpegErrors* errors, J_COLOR_SPACE out, JSAMPROW* rows,
              JDIMENSION height, bool* complete) {
  if (setjmp(errors->jump)) return false;
  info->out_color_space = out;
  jpeg_start_decompress(info);
  while (info->output_scanline < height) {
    if (jpeg_read_scanlines(info, rows + info->output_scanline, height - info->output_scanline) ==
        0) {
      break;
    }
  }
  *complete = info->output_scanline == height && !errors->truncated;
  jpeg_finish_decompress(info);
  return true;
}

class Decompressor {
 public:
  Decompressor() {
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegExit;
    errors.manager.emit_message = JpegMessage;
  }
  ~Decompressor() { jpeg_destroy_decompress(&info); }
  Decompressor(const Decompressor&) = delete;
  Decompressor& operator=(const Decompressor&) = delete;

  jpeg_decompress_struct info{};
  JpegErrors errors{};
};

}  // namespace

bool IsJpeg(const std::string& bytes) {
  return bytes.size() >= 3 && bytes.compare(0, 3, "\xff\xd8\xff") == 0;
}

DecodedPixels DecodeJpeg(const std::string& bytes, const std::filesystem::path& source) {
  Decompressor jpeg;
  const auto failed = [&] {
    return WorkError(source, std::string("cannot decode the JPEG image: ") + jpeg.errors.message);
  };
  JpegHeader header;
  if (!ReadHeader(&jpeg.info, &jpeg.errors, reinterpret_cast<const unsigned char*>(bytes.data()),
                  static_cast<unsigned long>(bytes.size()), &header)) {
    throw failed();
  }
  CheckImageSize(header.width, header.height, source);
  J_COLOR_SPACE out = JCS_EXT_BGR;
  int channels = 3;
  if (header.space == JCS_GRAYSCALE) {
    out = JCS_GRAYSCALE;
    channels = 1;
  } else if (header.space == JCS_CMYK || header.space == JCS_YCCK) {
    throw WorkError(source,
                    "unsupported pixels: expected grey or colour, found a CMYK JPEG image "
                    "(save it as RGB)");
  }
  DecodedPixels decoded;
  decoded.pixels =
      Picture(static_cast<int>(header.width), static_cast<int>(header.height), channels);
  std::vector<JSAMPROW> rows(header.height);
  for (JDIMENSION y = 0; y < header.height; ++y) rows[y] = decoded.pixels.Row(static_cast<int>(y));
  bool complete = false;
  if (!ReadRows(&jpeg.info, &jpeg.errors, out, rows.data(), header.height, &complete)) {
    throw failed();
  }
  if (!complete) {
    throw WorkError(source,
                    "cannot decode the JPEG image: the file ends before the image does "
                    "(it is truncated)");
  }
  return decoded;
}

}  // namespace Smartseg::detail
