// A two-colour bitmap and its GIF89a encoding (white and black, LZW-compressed
// image data), small enough to serve as a QR-code picture.
//
// Pure functions: safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zv::demo {

// Row-major pixels, 0 for white and 1 for black.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;

  std::uint8_t At(int x, int y) const { return pixels[y * width + x]; }
};

// The whole GIF file: header, a two-entry colour table (white, black), an
// optional comment extension, one image and the trailer.
// REQUIRES: width and height are 1 to 65535, pixels holds width*height values of 0 or 1.
std::string EncodeGif(const Bitmap& bitmap, std::string_view comment = {});

}  // namespace zv::demo
