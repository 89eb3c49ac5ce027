// The PNG writer deflates bands of rows side by side: files must decode to the pixels given for
// every layout and band count, be the same bytes for any number of threads, and keep the chunk
// layout a PNG needs.
#include <gtest/gtest.h>

#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageCodecs.h"
#include "tools/smartseg/ImageFiles.h"

namespace {

using Smartseg::EncodePng;
using Smartseg::Picture;

Picture Noise(int rows, int cols, int channels, Picture::Depth depth, unsigned seed) {
  Picture pixels(cols, rows, channels, depth);
  std::mt19937 random(seed);
  // Half noise, half flat runs: both the literal and the run-length paths of the compressor.
  for (int y = 0; y < rows; ++y) {
    auto* bytes = pixels.Row(y);
    const std::size_t size = pixels.RowBytes();
    for (std::size_t i = 0; i < size; ++i) {
      bytes[i] = y % 2 == 0 ? static_cast<unsigned char>(random()) : static_cast<unsigned char>(y);
    }
  }
  return pixels;
}

struct Chunk {
  std::string type;
  std::string data;
};

// The chunks of a PNG file, each checked against its CRC.
std::vector<Chunk> Chunks(const std::string& file) {
  EXPECT_EQ(file.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::vector<Chunk> chunks;
  std::size_t at = 8;
  const auto word = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(file[i])) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(file[i + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(file[i + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(file[i + 3]));
  };
  while (at + 12 <= file.size()) {
    const std::uint32_t length = word(at);
    Chunk chunk{file.substr(at + 4, 4), file.substr(at + 8, length)};
    const auto* typed = reinterpret_cast<const Bytef*>(file.data() + at + 4);
    EXPECT_EQ(word(at + 8 + length), crc32_z(0, typed, length + 4)) << chunk.type;
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  EXPECT_EQ(at, file.size());
  return chunks;
}

struct Layout {
  const char* name;
  int channels;
  Picture::Depth depth;
};

class PngEncoding : public ::testing::TestWithParam<Layout> {};

TEST_P(PngEncoding, DecodesToThePixelsGivenWithAnyBandsAndThreads) {
  // One pixel; a single band; rows much wider than a band; and many bands with a short last one.
  for (const auto& [rows, cols] :
       std::vector<std::pair<int, int>>{{1, 1}, {3, 5}, {4, 300000}, {3001, 517}}) {
    const Picture pixels = Noise(rows, cols, GetParam().channels, GetParam().depth,
                                 static_cast<unsigned>(rows + cols));
    const std::string one = EncodePng(pixels, "x.png", 1);
    for (int workers : {2, 3}) {
      EXPECT_EQ(EncodePng(pixels, "x.png", workers), one) << rows << " x " << cols;
    }
    const auto decoded = Smartseg::detail::DecodePng(one, "x.png");
    ASSERT_TRUE(decoded.pixels.Is(pixels.Channels(), pixels.SampleDepth()))
        << rows << " x " << cols;
    ASSERT_EQ(decoded.pixels.Width(), pixels.Width());
    ASSERT_EQ(decoded.pixels.Height(), pixels.Height());
    for (int y = 0; y < rows; ++y) {
      ASSERT_EQ(std::memcmp(decoded.pixels.Row(y), pixels.Row(y), pixels.RowBytes()), 0)
          << rows << " x " << cols << ", row " << y;
    }

    const std::vector<Chunk> chunks = Chunks(one);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks.front().type, "IHDR");
    EXPECT_EQ(chunks.back().type, "IEND");
    std::string stream;
    for (std::size_t k = 1; k + 1 < chunks.size(); ++k) {
      EXPECT_EQ(chunks[k].type, "IDAT");
      stream += chunks[k].data;
    }
    // The bands make one zlib stream whose check value covers every filtered row.
    std::vector<unsigned char> raw(pixels.RowBytes() * rows + rows);
    uLongf size = raw.size();
    EXPECT_EQ(
        uncompress(raw.data(), &size, reinterpret_cast<const Bytef*>(stream.data()), stream.size()),
        Z_OK);
    EXPECT_EQ(size, raw.size());
    if (rows == 3001) {
      EXPECT_GT(chunks.size(), 4u) << "several bands";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PngEncoding,
                         ::testing::Values(Layout{"grey8", 1, Picture::Depth::Bits8},
                                           Layout{"grey16", 1, Picture::Depth::Bits16},
                                           Layout{"colour", 3, Picture::Depth::Bits8}),
                         [](const ::testing::TestParamInfo<Layout>& layout) {
                           return std::string(layout.param.name);
                         });

TEST(PngRowsEncoding, PicturesMadeRowByRowDecodeToTheRowsMade) {
  // Colour over several bands, so that the first row of each band is filtered against a row of
  // the band before; each row is asked for at most twice (itself, and before the next band).
  const int width = 517, height = 3001;
  const auto sample = [](int x, int y, int c) {
    return static_cast<unsigned char>((x * 7 + y * 13 + c * 101 + (x * y) % 17) & 0xff);
  };
  std::vector<std::atomic<int>> asked(height);
  Smartseg::PngRows rows;
  rows.width = width;
  rows.height = height;
  rows.samples = Smartseg::PngRows::Samples::Rgb8;
  rows.row = [&](int y, unsigned char* out) {
    ++asked[static_cast<std::size_t>(y)];
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) out[3 * x + c] = sample(x, y, c);
    }
  };
  const std::string bytes = Smartseg::EncodePng(rows, "x.png", 2);
  for (const auto& count : asked) {
    EXPECT_GE(count.load(), 1);
    EXPECT_LE(count.load(), 2);
  }
  const auto decoded = Smartseg::detail::DecodePng(bytes, "x.png");
  ASSERT_TRUE(decoded.pixels.IsBgr8());
  ASSERT_EQ(decoded.pixels.Width(), width);
  ASSERT_EQ(decoded.pixels.Height(), height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Decoded pixels are blue-green-red.
      for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(decoded.pixels.Sample(x, y, c), sample(x, y, 2 - c)) << x << ", " << y;
      }
    }
  }
  EXPECT_EQ(Smartseg::EncodePng(rows, "x.png", 1), bytes);
}

TEST(PngEncodingErrors, OtherLayoutsAndEmptyImagesAreRefusedWithThePath) {
  const auto message = [](const Picture& pixels) {
    try {
      EncodePng(pixels, "out/a.png", 2);
    } catch (const Smartseg::WorkError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  for (const Picture& other :
       {Picture(2, 2, 2), Picture(2, 2, 4), Picture(2, 2, 3, Picture::Depth::Bits16)}) {
    EXPECT_NE(message(other).find("out/a.png"), std::string::npos);
    EXPECT_NE(
        message(other).find("cannot encode as PNG: expected 8-bit or 16-bit grey or 8-bit colour"),
        std::string::npos);
  }
  EXPECT_NE(message(Picture()).find("cannot encode"), std::string::npos);
}

}  // namespace
