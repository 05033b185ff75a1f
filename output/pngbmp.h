// PNG files read into an in-memory bitmap and written as uncompressed BMP
// files, for the chart pane's picture.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

struct RgbColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
};

// A bitmap kept bottom-up: rows[0] is the top picture row and points at the
// last stride of the pixel block.
struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitsPerPixel = 0;  // 1, 4, 8 or 24
  uint32_t paletteColours = 0;
  uint32_t topDown = 0;
  uint32_t stride = 0;
  uint32_t imageSize = 0;
  std::vector<RgbColour> palette;
  std::vector<uint8_t*> rows;
  std::vector<uint8_t> pixels;
};

// Pixel blocks above this are refused, whatever the file claims.
constexpr uint64_t kMaxBmpImageBytes = 256u << 20;

// Sets the layout and allocates the buffers (zeroed). False, with the image
// freed, when the size is refused or memory runs out.
bool CreateRgbImage(RgbImage& image, uint32_t width, uint32_t height, uint32_t bitsPerPixel);
void FreeRgbImage(RgbImage& image);

// True when the BMP was written completely. On any failure the file at bmpPath
// keeps what it held before.
bool ConvertPngToBmp(const char* pngPath, const char* bmpPath);
bool LoadPngFile(const char* pngPath, RgbImage& image);
bool ReadPngImage(const char* pngPath, FILE* file, RgbImage& image);
// Writes and frees the image.
bool SaveBmpFile(const char* bmpPath, RgbImage& image);
// Null on success, "Error" when a write comes up short.
const char* WriteBmp(FILE* file, const RgbImage& image);
