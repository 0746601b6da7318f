#include "app/help_picture.h"

#include <png.h>

#include <cstring>

#include "app/image_scale.h"

extern "C" const unsigned char help_picture_png[];
extern "C" const unsigned int help_picture_png_size;

BgraPicture DecodePng(const uint8_t* data, size_t size) {
  BgraPicture picture;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return picture;
  image.format = PNG_FORMAT_BGRA;
  // Refuse absurd sizes before allocating (a corrupt header must not exhaust memory).
  if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
    png_image_free(&image);
    return picture;
  }
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return picture;
  }
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  picture.pixels = std::move(pixels);
  return picture;
}

HBITMAP LoadHelpPictureBitmap(int width, int height) {
  BgraPicture picture = DecodePng(help_picture_png, help_picture_png_size);
  if (picture.pixels.empty()) return nullptr;
  std::vector<uint8_t> scaled = ScaleBgraByArea(picture.pixels, picture.width, picture.height, width, height);
  if (scaled.empty()) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows, as decoded
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) std::memcpy(bits, scaled.data(), scaled.size());
  return bitmap;
}
