// PNG encoding written out here rather than through libpng, so that the rows can be deflated in
// bands side by side: each band is a raw deflate stream of its own that ends on a byte boundary
// (a sync flush, the last one a finishing block), and the bands one after another form the one
// zlib stream a decoder expects, with the Adler-32 of the whole combined from the bands' own.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "interfaces/core/TaskPool.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"
#include "tools/smartseg/PngRows.h"

namespace Smartseg {
namespace {

// Filtered bytes per band: small enough that a band and the compressor's tables stay in the
// processor's cache and that the workers share even one file evenly (segmenting a 768 x 768
// mosaic takes 4 % less time than with bands of 512 KiB); cutting the stream costs under 1 % in
// size. Bands follow from the image alone, so the file's bytes do not depend on how many threads
// wrote it.
constexpr std::size_t kBandBytes = std::size_t{64} << 10;
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

struct Band {
  int first = 0;
  int rows = 0;
  std::string deflated;
  uLong adler = 1;
  std::size_t rawBytes = 0;
};

// Bytes that are written before they are read: growing them does not clear them first.
class Buffer {
 public:
  unsigned char* Reserve(std::size_t size) {
    if (size > capacity_) {
      bytes_.reset(new unsigned char[size]);
      capacity_ = size;
    }
    return bytes_.get();
  }

 private:
  std::unique_ptr<unsigned char[]> bytes_;
  std::size_t capacity_ = 0;
};

// What a thread reuses from band to band and from file to file: the filtered rows, the
// compressor's output and the compressors themselves (reset, not made anew). A fresh set costs
// more page faults than deflating a mask's band.
class Scratch {
 public:
  Scratch() = default;
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  ~Scratch() {
    for (Slot& slot : compressors_) {
      if (slot.started) deflateEnd(&slot.stream);
    }
  }

  Buffer raw;
  Buffer above;
  Buffer deflated;

  // A compressor at the fastest level with `strategy`, ready for a new raw deflate stream; null
  // when zlib has no memory for it.
  z_stream* Compressor(int strategy) {
    for (Slot& slot : compressors_) {
      if (slot.strategy != strategy) continue;
      if (deflateReset(&slot.stream) != Z_OK) return nullptr;
      return &slot.stream;
    }
    compressors_.emplace_back();
    Slot& fresh = compressors_.back();
    fresh.strategy = strategy;
    const int status = deflateInit2(&fresh.stream, 1, Z_DEFLATED, -15, 8, strategy);
    if (status != Z_OK) {
      compressors_.pop_back();
      if (status == Z_MEM_ERROR) throw std::bad_alloc();
      return nullptr;
    }
    fresh.started = true;
    return &fresh.stream;
  }

 private:
  struct Slot {
    z_stream stream{};
    int strategy = 0;
    bool started = false;
  };
  std::list<Slot> compressors_;
};

Scratch& ThreadScratch() {
  thread_local Scratch scratch;
  return scratch;
}

void DeflateBand(const PngRows& rows, const Layout& layout, Band& band, bool last,
                 const std::filesystem::path& path) {
  Scratch& scratch = ThreadScratch();
  const std::size_t lineBytes = layout.rowBytes + 1;
  const std::size_t rawBytes = lineBytes * static_cast<std::size_t>(band.rows);
  unsigned char* raw = scratch.raw.Reserve(rawBytes);
  for (int r = 0; r < band.rows; ++r) {
    unsigned char* line = raw + lineBytes * static_cast<std::size_t>(r);
    line[0] = layout.filter;
    rows.row(band.first + r, line + 1);
  }
  if (layout.filter == kFilterUp) {
    // Bottom up, so that each row is taken from the row above before that one is filtered; the
    // band's first row from the row before the band (the image's first row stays itself).
    for (int r = band.rows - 1; r >= 0; --r) {
      unsigned char* line = raw + lineBytes * static_cast<std::size_t>(r) + 1;
      const unsigned char* above = line - lineBytes;
      if (r == 0) {
        if (band.first == 0) break;
        unsigned char* previous = scratch.above.Reserve(layout.rowBytes);
        rows.row(band.first - 1, previous);
        above = previous;
      }
      for (std::size_t i = 0; i < layout.rowBytes; ++i) {
        line[i] = static_cast<unsigned char>(line[i] - above[i]);
      }
    }
  }
  band.rawBytes = rawBytes;
  band.adler = adler32_z(1, raw, rawBytes);

  // The fastest level; run-length matching for grey results (flat areas), the full search for
  // colour overlays (photographs, whose rows the "up" filter turns into small differences).
  z_stream* stream = scratch.Compressor(layout.colourType == 2 ? Z_DEFAULT_STRATEGY : Z_RLE);
  if (stream == nullptr) {
    throw WorkError(path, "cannot encode as PNG: the compressor did not start");
  }
  const std::size_t bound = deflateBound(stream, rawBytes) + 16;
  unsigned char* out = scratch.deflated.Reserve(bound);
  stream->next_in = raw;
  stream->avail_in = static_cast<uInt>(rawBytes);
  stream->next_out = out;
  stream->avail_out = static_cast<uInt>(bound);
  const int result = deflate(stream, last ? Z_FINISH : Z_SYNC_FLUSH);
  const std::size_t written = bound - stream->avail_out;
  if (result != (last ? Z_STREAM_END : Z_OK) || stream->avail_in != 0) {
    throw WorkError(path, "cannot encode as PNG: the compressor failed");
  }
  // Only what was written is kept: a band of a flat mask packs to a few hundred bytes.
  band.deflated.assign(reinterpret_cast<const char*>(out), written);
}

}  // namespace

PngRows RowsOf(const Picture& pixels) {
  PngRows rows;
  rows.width = pixels.Width();
  rows.height = pixels.Height();
  if (pixels.IsGrey8()) {
    rows.samples = PngRows::Samples::Grey8;
    rows.row = [pixels](int y, unsigned char* out) {
      std::copy_n(pixels.Row(y), pixels.Width(), out);
    };
  } else if (pixels.IsGrey16()) {
    rows.samples = PngRows::Samples::Grey16;
    rows.row = [pixels](int y, unsigned char* out) {
      const auto* samples = pixels.Row<std::uint16_t>(y);
      for (int x = 0; x < pixels.Width(); ++x) {
        out[2 * x] = static_cast<unsigned char>(samples[x] >> 8);
        out[2 * x + 1] = static_cast<unsigned char>(samples[x]);
      }
    };
  } else if (pixels.IsBgr8()) {
    rows.samples = PngRows::Samples::Rgb8;
    rows.row = [pixels](int y, unsigned char* out) {
      const unsigned char* bgr = pixels.Row(y);
      for (int x = 0; x < pixels.Width(); ++x, bgr += 3, out += 3) {
        out[0] = bgr[2];
        out[1] = bgr[1];
        out[2] = bgr[0];
      }
    };
  } else {
    rows.width = 0;
  }
  return rows;
}

namespace detail {

std::string EncodePngBytes(const PngRows& rows, const std::filesystem::path& path, int workers) {
  Layout layout;
  if (rows.samples == PngRows::Samples::Grey16) {
    layout.bitDepth = 16;
  } else if (rows.samples == PngRows::Samples::Rgb8) {
    layout.colourType = 2;
    layout.filter = kFilterUp;
  }
  if (rows.width <= 0 || rows.height <= 0 || !rows.row) {
    throw WorkError(path, "cannot encode an empty image as PNG");
  }
  layout.rowBytes = rows.RowBytes();
  // One band's deflate call takes its whole input at once, whose size zlib counts in 32 bits.
  if (layout.rowBytes + 1 > kBandBytes * 64) {
    throw WorkError(path, "cannot encode as PNG: the rows are too long");
  }

  const int rowsPerBand =
      static_cast<int>(std::max<std::size_t>(1, kBandBytes / (layout.rowBytes + 1)));
  std::vector<Band> bands;
  for (int first = 0; first < rows.height; first += rowsPerBand) {
    bands.push_back(Band{first, std::min(rowsPerBand, rows.height - first), {}, 1, 0});
  }
  const int count = static_cast<int>(bands.size());
  Tamrix::Vision::RunTasks(count, std::max(1, workers), [&](int task, int) {
    DeflateBand(rows, layout, bands[static_cast<std::size_t>(task)], task + 1 == count, path);
  });

  std::size_t total = 8 + 25 + 12 + 6;
  for (const Band& band : bands)
    total += band.deflated.size() + 12 * (1 + band.deflated.size() / kMaxChunk);
  std::string out;
  out.reserve(total);
  out.append("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(rows.width));
  PutBigEndian(header, static_cast<std::uint32_t>(rows.height));
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

}  // namespace detail
}  // namespace Smartseg
