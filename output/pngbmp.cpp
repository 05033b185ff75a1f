#include "output/pngbmp.h"

#include <png.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "platform/files.h"

namespace {

// The library's messages are not wanted; an error still has to leave through
// the return point, or the library would print and jump itself.
void SilentError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void SilentWarning(png_structp, png_const_charp) {}
void IgnoreRowStatus(png_structp, png_uint_32, int) {}

const uint8_t kWiden2To4[16] = {0x00, 0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13,
                                0x20, 0x21, 0x22, 0x23, 0x30, 0x31, 0x32, 0x33};

// Two-bit pixels widened to four bits in place, from the row's end backwards so
// no source byte is overwritten before it is read.
void Widen2To4(png_structp, png_row_infop info, png_bytep data) {
  if (info->bit_depth != 2) return;
  size_t out = (static_cast<size_t>(info->width) + 1) / 2;
  for (size_t j = out; j-- > 0;) {
    uint8_t src = data[j / 2];
    data[j] = kWiden2To4[(j % 2 == 0) ? (src >> 4) : (src & 0x0F)];
  }
  info->rowbytes = out;
  info->bit_depth = 4;
  info->pixel_depth = 4;
}

}  // namespace

// Bytes of the signature already consumed: 8 when found at the start or behind
// a 128-byte prefix, else 0 (the library then fails on the missing signature).
int CheckPngSignature(png_structp png) {
  FILE* file = static_cast<FILE*>(png_get_io_ptr(png));
  uint8_t head[8];
  if (fread(head, 1, 8, file) != 8) return 0;
  if (png_sig_cmp(head, 0, 8) == 0) return 8;
  uint8_t prefixed[128];
  if (fread(prefixed, 1, 128, file) != 128) return 0;
  return png_sig_cmp(prefixed + 120, 0, 8) == 0 ? 8 : 0;
}

void FreeRgbImage(RgbImage& image) {
  std::vector<RgbColour>().swap(image.palette);
  std::vector<uint8_t*>().swap(image.rows);
  std::vector<uint8_t>().swap(image.pixels);
}

bool CreateRgbImage(RgbImage& image, uint32_t width, uint32_t height, uint32_t bitsPerPixel) {
  FreeRgbImage(image);
  uint64_t stride = (static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
  uint64_t size = stride * height;
  if (width == 0 || height == 0 || size > kMaxBmpImageBytes) return false;
  image.width = width;
  image.height = height;
  image.bitsPerPixel = bitsPerPixel;
  image.paletteColours = bitsPerPixel == 24 ? 0 : 1u << bitsPerPixel;
  image.topDown = 0;
  image.stride = static_cast<uint32_t>(stride);
  image.imageSize = static_cast<uint32_t>(size);
  try {
    image.palette.assign(image.paletteColours, RgbColour{});
    image.pixels.assign(image.imageSize, 0);  // padding included
    image.rows.resize(height);
  } catch (const std::bad_alloc&) {
    FreeRgbImage(image);
    return false;
  }
  for (uint32_t i = 0; i < height; ++i) image.rows[i] = image.pixels.data() + static_cast<size_t>(height - 1 - i) * stride;
  return true;
}

bool ReadPngImage(const char* pngPath, FILE* file, RgbImage& image) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, const_cast<char*>(pngPath), SilentError, SilentWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  png_infop endInfo = info ? png_create_info_struct(png) : nullptr;
  if (!info || !endInfo) {
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, &endInfo);
    FreeRgbImage(image);
    return false;
  }
  png_init_io(png, file);
  FreeRgbImage(image);
  image = RgbImage{};
  png_set_sig_bytes(png, CheckPngSignature(png));
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);

  bool rgb = colourType == PNG_COLOR_TYPE_RGB || colourType == PNG_COLOR_TYPE_RGB_ALPHA;
  uint32_t bits = rgb ? 24 : depth == 2 ? 4 : depth == 16 ? 8 : static_cast<uint32_t>(depth);
  if (!CreateRgbImage(image, width, height, bits)) png_error(png, "image");

  if (colourType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png);
  if (depth == 2) {
    png_set_user_transform_info(png, nullptr, 4, 1);
    png_set_read_user_transform_fn(png, Widen2To4);
  }
  if (depth == 16) png_set_strip_16(png);
  if (rgb) png_set_bgr(png);
  png_read_update_info(png, info);
  // The rows the library writes must fit the strides made for them.
  if (png_get_rowbytes(png, info) > image.stride) png_error(png, "row size");

  if (image.paletteColours > 0) {
    png_color colours[256] = {};
    int count = 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
      png_colorp filePalette = nullptr;
      if (png_get_PLTE(png, info, &filePalette, &count) & PNG_INFO_PLTE) {
        if (count > static_cast<int>(image.paletteColours)) count = static_cast<int>(image.paletteColours);
        memcpy(colours, filePalette, sizeof(png_color) * static_cast<size_t>(count));
      }
    } else {
      png_build_grayscale_palette(depth == 16 ? 8 : depth, colours);
      count = 1 << (depth == 16 ? 8 : depth);
    }
    for (int i = 0; i < count && i < static_cast<int>(image.paletteColours); ++i)
      image.palette[i] = RgbColour{colours[i].red, colours[i].green, colours[i].blue};
  }

  png_set_read_status_fn(png, IgnoreRowStatus);
  png_read_image(png, image.rows.data());
  png_read_end(png, endInfo);
  png_destroy_read_struct(&png, &info, &endInfo);
  return true;
}

bool LoadPngFile(const char* pngPath, RgbImage& image) {
  FILE* file = tv::OpenRegularStream(pngPath);
  if (!file) return false;
  bool ok = ReadPngImage(pngPath, file, image);
  fclose(file);
  return ok;
}

namespace {
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
}  // namespace

const char* WriteBmp(FILE* file, const RgbImage& image) {
  static const char kError[] = "Error";
  uint8_t head[54] = {'B', 'M'};
  uint32_t paletteBytes = 4 * image.paletteColours;
  Put32(head + 2, image.imageSize + 54 + paletteBytes);
  Put32(head + 10, 54 + paletteBytes);
  Put32(head + 14, 40);
  Put32(head + 18, image.width);
  Put32(head + 22, image.height);
  Put16(head + 26, 1);
  Put16(head + 28, image.bitsPerPixel);
  Put32(head + 34, image.imageSize);
  if (fwrite(head, 1, sizeof head, file) != sizeof head) return kError;
  for (uint32_t i = 0; i < image.paletteColours; ++i) {
    const RgbColour& c = image.palette[i];
    uint8_t entry[4] = {c.blue, c.green, c.red, 0};
    if (fwrite(entry, 1, 4, file) != 4) return kError;
  }
  if (image.imageSize && fwrite(image.pixels.data(), 1, image.imageSize, file) != image.imageSize) return kError;
  return nullptr;
}

bool SaveBmpFile(const char* bmpPath, RgbImage& image) {
  // Written under a side name and moved over the old file only when complete,
  // so a failure never leaves a broken picture behind.
  std::string side = std::string(bmpPath) + ".part";
  FILE* file = fopen(side.c_str(), "wb");
  if (!file) {
    FreeRgbImage(image);
    return false;
  }
  bool ok = WriteBmp(file, image) == nullptr;
  ok = (fclose(file) == 0) && ok;
  FreeRgbImage(image);
  std::error_code ec;
  if (ok) std::filesystem::rename(side, bmpPath, ec);
  if (!ok || ec) {
    std::filesystem::remove(side, ec);
    return false;
  }
  return true;
}

bool ConvertPngToBmp(const char* pngPath, const char* bmpPath) {
  RgbImage image;
  if (!LoadPngFile(pngPath, image)) return false;
  return SaveBmpFile(bmpPath, image);
}
