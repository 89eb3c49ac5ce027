// PNG encoding written out here rather than through libpng, so that the rows can be deflated in
// bands side by side: each band is a raw deflate stream of its own that ends on a byte boundary
// (a sync flush, the last one a finishing block), and the bands one after another form the one
// zlib stream a decoder expects, with the Adler-32 of the whole combined from the bands' own.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "interfaces/core/TaskPool.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"

namespace Smartseg::detail {
namespace {

// Filtered bytes per band: large enough that cutting the stream costs nothing measurable in size,
// small enough that a 768 x 768 colour overlay gives each of two workers a few bands. Bands follow
// from the image alone, so the file's bytes do not depend on how many threads wrote it.
constexpr std::size_t kBandBytes = std::size_t{512} << 10;
// Largest IDAT chunk written; a chunk's length must stay below 2^31.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

// PNG's row filters: none, and "up" (the difference to the row above).
constexpr unsigned char kFilterNone = 0;
constexpr unsigned char kFilterUp = 2;

struct Layout {
  int colourType = 0;  // 0 grey, 2 red-green-blue
  int bitDepth = 8;
  std::size_t rowBytes = 0;
  unsigned char filter = kFilterNone;
};

void PutBigEndian(std::string& out, std::uint32_t value) {
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                         static_cast<char>(value >> 8), static_cast<char>(value)};
  out.append(bytes, 4);
}

void PutChunk(std::string& out, const char type[4], const char* data, std::size_t size) {
  PutBigEndian(out, static_cast<std::uint32_t>(size));
  const std::size_t start = out.size();
  out.append(type, 4);
  out.append(data, size);
  const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
  PutBigEndian(out, static_cast<std::uint32_t>(crc32_z(0, bytes, size + 4)));
}

// Row `y` as PNG stores it, its filter byte first: samples in red-green-blue order and
// big-endian, "up" taking the difference to the row above (the first row's is itself).
void FilteredRow(const cv::Mat& pixels, const Layout& layout, int y, unsigned char* out) {
  out[0] = layout.filter;
  unsigned char* row = out + 1;
  if (pixels.type() == CV_8UC1) {
    std::copy_n(pixels.ptr<unsigned char>(y), layout.rowBytes, row);
  } else if (pixels.type() == CV_16UC1) {
    const auto* samples = pixels.ptr<std::uint16_t>(y);
    for (int x = 0; x < pixels.cols; ++x) {
      row[2 * x] = static_cast<unsigned char>(samples[x] >> 8);
      row[2 * x + 1] = static_cast<unsigned char>(samples[x]);
    }
  } else {
    const unsigned char* bgr = pixels.ptr<unsigned char>(y);
    const unsigned char* above = y > 0 ? pixels.ptr<unsigned char>(y - 1) : nullptr;
    for (std::size_t i = 0; i < layout.rowBytes; i += 3) {
      for (std::size_t c = 0; c < 3; ++c) {
        const std::size_t from = i + 2 - c;
        const unsigned char value = bgr[from];
        row[i + c] = above == nullptr ? value : static_cast<unsigned char>(value - above[from]);
      }
    }
  }
}

struct Band {
  int first = 0;
  int rows = 0;
  std::string deflated;
  uLong adler = 1;
  std::size_t rawBytes = 0;
};

// What a worker reuses from band to band: the filtered rows and the compressor's output.
struct Scratch {
  std::vector<unsigned char> raw;
  std::vector<unsigned char> deflated;
};

void DeflateBand(const cv::Mat& pixels, const Layout& layout, Band& band, bool last,
                 const std::filesystem::path& path, Scratch& scratch) {
  const std::size_t lineBytes = layout.rowBytes + 1;
  std::vector<unsigned char>& raw = scratch.raw;
  raw.resize(lineBytes * static_cast<std::size_t>(band.rows));
  for (int r = 0; r < band.rows; ++r) {
    FilteredRow(pixels, layout, band.first + r,
                raw.data() + lineBytes * static_cast<std::size_t>(r));
  }
  band.rawBytes = raw.size();
  band.adler = adler32_z(1, raw.data(), raw.size());

  z_stream stream{};
  // The fastest level; run-length matching for grey results (flat areas), the full search for
  // colour overlays (photographs, whose rows the "up" filter turns into small differences).
  const int strategy = layout.colourType == 2 ? Z_DEFAULT_STRATEGY : Z_RLE;
  const int status = deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, strategy);
  if (status == Z_MEM_ERROR) throw std::bad_alloc();
  if (status != Z_OK) throw WorkError(path, "cannot encode as PNG: the compressor did not start");
  std::vector<unsigned char>& out = scratch.deflated;
  out.resize(deflateBound(&stream, raw.size()) + 16);
  stream.next_in = raw.data();
  stream.avail_in = static_cast<uInt>(raw.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
  const std::size_t written = out.size() - stream.avail_out;
  deflateEnd(&stream);
  if (result != (last ? Z_STREAM_END : Z_OK) || stream.avail_in != 0) {
    throw WorkError(path, "cannot encode as PNG: the compressor failed");
  }
  // Only what was written is kept: a band of a flat mask packs to a few hundred bytes.
  band.deflated.assign(reinterpret_cast<const char*>(out.data()), written);
}

}  // namespace

std::string EncodePngBytes(const cv::Mat& pixels, const std::filesystem::path& path, int workers) {
  Layout layout;
  if (pixels.type() == CV_16UC1) {
    layout.bitDepth = 16;
  } else if (pixels.type() == CV_8UC3) {
    layout.colourType = 2;
    layout.filter = kFilterUp;
  } else if (pixels.type() != CV_8UC1) {
    throw WorkError(path, "cannot encode as PNG: expected 8-bit or 16-bit grey or 8-bit colour");
  }
  if (pixels.empty()) throw WorkError(path, "cannot encode an empty image as PNG");
  layout.rowBytes = static_cast<std::size_t>(pixels.cols) * pixels.elemSize();
  // One band's deflate call takes its whole input at once, whose size zlib counts in 32 bits.
  if (layout.rowBytes + 1 > kBandBytes * 64) {
    throw WorkError(path, "cannot encode as PNG: the rows are too long");
  }

  const int rowsPerBand =
      static_cast<int>(std::max<std::size_t>(1, kBandBytes / (layout.rowBytes + 1)));
  std::vector<Band> bands;
  for (int first = 0; first < pixels.rows; first += rowsPerBand) {
    bands.push_back(Band{first, std::min(rowsPerBand, pixels.rows - first), {}, 1, 0});
  }
  const int count = static_cast<int>(bands.size());
  std::vector<Scratch> scratch(static_cast<std::size_t>(std::max(1, workers)));
  Tamrix::Vision::RunTasks(count, std::max(1, workers), [&](int task, int worker) {
    DeflateBand(pixels, layout, bands[static_cast<std::size_t>(task)], task + 1 == count, path,
                scratch[static_cast<std::size_t>(worker)]);
  });
  std::vector<Scratch>().swap(scratch);

  std::size_t total = 8 + 25 + 12 + 6;
  for (const Band& band : bands)
    total += band.deflated.size() + 12 * (1 + band.deflated.size() / kMaxChunk);
  std::string out;
  out.reserve(total);
  out.append("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(pixels.cols));
  PutBigEndian(header, static_cast<std::uint32_t>(pixels.rows));
  // Bit depth, colour type, then deflate compression, adaptive filtering, no interlace.
  header += {static_cast<char>(layout.bitDepth), static_cast<char>(layout.colourType), 0, 0, 0};
  PutChunk(out, "IHDR", header.data(), header.size());

  // The zlib header: deflate with a 32 KiB window, fastest level, a check value divisible by 31.
  std::string stream("\x78\x01", 2);
  uLong adler = bands.front().adler;
  for (std::size_t k = 1; k < bands.size(); ++k) {
    adler = adler32_combine(adler, bands[k].adler, static_cast<z_off_t>(bands[k].rawBytes));
  }
  for (std::size_t k = 0; k < bands.size(); ++k) {
    Band& band = bands[k];
    std::string data = k == 0 ? stream + band.deflated : std::move(band.deflated);
    if (k + 1 == bands.size()) PutBigEndian(data, static_cast<std::uint32_t>(adler));
    for (std::size_t at = 0; at < data.size(); at += kMaxChunk) {
      PutChunk(out, "IDAT", data.data() + at, std::min(kMaxChunk, data.size() - at));
    }
    std::string().swap(data);
  }
  PutChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace Smartseg::detail
