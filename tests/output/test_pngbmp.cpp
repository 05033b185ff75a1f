#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "output/pngbmp.h"
#include "tests/common/testenv.h"

namespace {

struct Format {
  int colourType;
  int depth;
};

uint32_t Base(uint32_t x, uint32_t y, int channel) { return (x * 37 + y * 11 + static_cast<uint32_t>(channel) * 50) & 0xFF; }
int PaletteEntries(int depth) { return depth == 2 ? 3 : std::min(1 << depth, 20); }
png_color PaletteColour(int i) {
  return png_color{static_cast<png_byte>(i * 10), static_cast<png_byte>(255 - i * 5), static_cast<png_byte>(i * 3)};
}
int Channels(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 1;
  }
}
// The sample a test PNG holds at (x, y), channel c, in the file's own depth.
uint32_t Sample(const Format& f, uint32_t x, uint32_t y, int c) {
  uint32_t b = Base(x, y, c);
  if (f.colourType == PNG_COLOR_TYPE_PALETTE) return b % static_cast<uint32_t>(PaletteEntries(f.depth));
  if (f.depth < 8) return b % (1u << f.depth);
  if (f.depth == 16) return b << 8 | 0x5A;  // the low byte is dropped on reading
  return b;
}

void PutSample(std::vector<uint8_t>& row, size_t index, int depth, uint32_t v) {
  if (depth == 16) {
    row[index * 2] = static_cast<uint8_t>(v >> 8);
    row[index * 2 + 1] = static_cast<uint8_t>(v);
  } else if (depth == 8) {
    row[index] = static_cast<uint8_t>(v);
  } else {
    size_t bit = index * static_cast<size_t>(depth);
    row[bit / 8] |= static_cast<uint8_t>(v << (8 - depth - bit % 8));
  }
}

// Writes a PNG of the format, with `prefix` bytes of junk in front.
void WritePng(const std::string& path, const Format& f, uint32_t w, uint32_t h, size_t prefix = 0) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (size_t i = 0; i < prefix; ++i) fputc('#', file);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
  png_init_io(png, file);
  png_set_IHDR(png, info, w, h, f.depth, f.colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  if (f.colourType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < PaletteEntries(f.depth); ++i) palette.push_back(PaletteColour(i));
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  }
  png_write_info(png, info);
  int channels = Channels(f.colourType);
  for (uint32_t y = 0; y < h; ++y) {
    std::vector<uint8_t> row(static_cast<size_t>(w) * channels * 2 + 1, 0);
    for (uint32_t x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) PutSample(row, static_cast<size_t>(x) * channels + c, f.depth, Sample(f, x, y, c));
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

uint32_t Le32(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}
uint32_t Le16(const std::string& s, size_t at) { return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8; }

class PngBmpTest : public ::testing::Test {
 protected:
  std::string dir = tvtest::NewDir("pngbmp");
  std::string png = dir + "chart.png";
  std::string bmp = dir + "chart.bmp";
};

TEST_F(PngBmpTest, EveryDepthAndColourType) {
  const Format formats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {3, 1}, {3, 2}, {3, 4},
                            {3, 8}, {2, 8}, {2, 16}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
  for (const Format& f : formats) {
    for (uint32_t w : {1u, 5u}) {
      SCOPED_TRACE(testing::Message() << "colour type " << f.colourType << " depth " << f.depth << " width " << w);
      const uint32_t h = 3;
      WritePng(png, f, w, h);
      ASSERT_TRUE(ConvertPngToBmp(png.c_str(), bmp.c_str()));
      std::string b = tvtest::ReadFile(bmp);
      bool rgb = f.colourType == 2 || f.colourType == 6;
      uint32_t bpp = rgb ? 24 : f.depth == 2 ? 4 : f.depth == 16 ? 8 : static_cast<uint32_t>(f.depth);
      uint32_t colours = rgb ? 0 : 1u << bpp;
      uint32_t stride = (w * bpp + 31) / 32 * 4;
      ASSERT_EQ(b.size(), 54 + 4 * colours + stride * h);
      EXPECT_EQ(b.substr(0, 2), "BM");
      EXPECT_EQ(Le32(b, 2), b.size());
      EXPECT_EQ(Le32(b, 10), 54 + 4 * colours);
      EXPECT_EQ(Le32(b, 14), 40u);
      EXPECT_EQ(Le32(b, 18), w);
      EXPECT_EQ(Le32(b, 22), h);
      EXPECT_EQ(Le16(b, 26), 1u);
      EXPECT_EQ(Le16(b, 28), bpp);
      EXPECT_EQ(Le32(b, 30), 0u);
      EXPECT_EQ(Le32(b, 34), stride * h);
      if (w == 1 && rgb) {
        EXPECT_EQ(stride, 4u);
      }

      // Palette: the file's entries (rest black) or a grey ramp of the file's depth.
      for (uint32_t i = 0; i < colours; ++i) {
        size_t at = 54 + 4 * i;
        uint8_t want[3] = {0, 0, 0};  // red, green, blue
        if (f.colourType == 3) {
          if (static_cast<int>(i) < PaletteEntries(f.depth)) {
            png_color c = PaletteColour(static_cast<int>(i));
            want[0] = c.red, want[1] = c.green, want[2] = c.blue;
          }
        } else {
          int d = f.depth == 16 ? 8 : f.depth;
          if (i < (1u << d)) want[0] = want[1] = want[2] = static_cast<uint8_t>(i * 255 / ((1u << d) - 1));
        }
        ASSERT_EQ(static_cast<uint8_t>(b[at]), want[2]) << "entry " << i;
        ASSERT_EQ(static_cast<uint8_t>(b[at + 1]), want[1]) << "entry " << i;
        ASSERT_EQ(static_cast<uint8_t>(b[at + 2]), want[0]) << "entry " << i;
        ASSERT_EQ(b[at + 3], 0);
      }

      // Pixels: bottom row first, BGR order, alpha and low bytes dropped.
      size_t pixels = 54 + 4 * colours;
      for (uint32_t y = 0; y < h; ++y) {
        size_t row = pixels + static_cast<size_t>(h - 1 - y) * stride;
        for (uint32_t x = 0; x < w; ++x) {
          if (rgb) {
            for (int c = 0; c < 3; ++c) {
              uint32_t s = Sample(f, x, y, c);
              if (f.depth == 16) s >>= 8;
              ASSERT_EQ(static_cast<uint8_t>(b[row + 3 * x + (2 - c)]), s) << x << "," << y;
            }
          } else {
            uint32_t s = Sample(f, x, y, 0);
            if (f.depth == 16) s >>= 8;
            size_t bit = static_cast<size_t>(x) * bpp;
            uint32_t got = (static_cast<uint8_t>(b[row + bit / 8]) >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
            ASSERT_EQ(got, s) << x << "," << y;
          }
        }
        // Row padding stays zero.
        for (size_t p = (static_cast<size_t>(w) * bpp + 7) / 8; p < stride; ++p) ASSERT_EQ(b[row + p], 0);
      }
    }
  }
}

TEST_F(PngBmpTest, PrefixedPngReadsLikePlainOne) {
  WritePng(png, {2, 8}, 4, 2);
  ASSERT_TRUE(ConvertPngToBmp(png.c_str(), bmp.c_str()));
  std::string plain = tvtest::ReadFile(bmp);
  WritePng(png, {2, 8}, 4, 2, 128);
  ASSERT_TRUE(ConvertPngToBmp(png.c_str(), bmp.c_str()));
  EXPECT_EQ(tvtest::ReadFile(bmp), plain);
}

// Writes a valid header claiming w x h RGB pixels followed by a short IDAT.
void WriteClaimingPng(const std::string& path, uint32_t w, uint32_t h) {
  FILE* file = fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
  png_init_io(png, file);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const png_byte junk[4] = {1, 2, 3, 4};
  png_write_chunk(png, reinterpret_cast<png_const_bytep>("IDAT"), junk, sizeof junk);
  png_write_chunk(png, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

TEST_F(PngBmpTest, FailuresKeepThePreviousBmp) {
  const std::string before = "previous picture";
  WritePng(png, {2, 8}, 8, 8);
  std::string good = tvtest::ReadFile(png);
  struct Case {
    const char* what;
    std::string content;  // empty: no PNG file at all
  };
  std::vector<Case> cases = {
      {"missing", ""},
      {"not a png", "GIF89a this is not a PNG file at all"},
      {"truncated", good.substr(0, good.size() / 2)},
      {"bad checksum", good.substr(0, 40) + char(good[40] ^ 0x55) + good.substr(41)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(png);
    if (!c.content.empty()) tvtest::WriteFile(png, c.content);
    tvtest::WriteFile(bmp, before);
    EXPECT_FALSE(ConvertPngToBmp(png.c_str(), bmp.c_str()));
    EXPECT_EQ(tvtest::ReadFile(bmp), before);
  }
  // Sizes whose pixel block would not fit are refused before any allocation.
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{1000000, 1000000}, {1000000, 2000}}) {
    WriteClaimingPng(png, w, h);
    tvtest::WriteFile(bmp, before);
    EXPECT_FALSE(ConvertPngToBmp(png.c_str(), bmp.c_str())) << w << "x" << h;
    EXPECT_EQ(tvtest::ReadFile(bmp), before);
  }
  // A BMP that cannot be created.
  WritePng(png, {2, 8}, 2, 2);
  EXPECT_FALSE(ConvertPngToBmp(png.c_str(), (dir + "no/such/folder.bmp").c_str()));
  for (auto& e : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(e.path().extension().string().find(".part"), std::string::npos) << e.path();
}

TEST(RgbImageTest, LayoutIsBottomUpWithPaddedStride) {
  RgbImage image;
  ASSERT_TRUE(CreateRgbImage(image, 3, 2, 4));
  EXPECT_EQ(image.stride, 4u);
  EXPECT_EQ(image.imageSize, 8u);
  EXPECT_EQ(image.paletteColours, 16u);
  EXPECT_EQ(image.rows[0], image.pixels.data() + 4);
  EXPECT_EQ(image.rows[1], image.pixels.data());
  EXPECT_FALSE(CreateRgbImage(image, 0xFFFFFFFFu, 0xFFFFFFFFu, 24));
  EXPECT_TRUE(image.pixels.empty());
}

}  // namespace
