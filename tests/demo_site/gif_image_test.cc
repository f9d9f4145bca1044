#include "demo-site/gif_image.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "demo-site/demo_content.h"
#include "demo-site/demo_pages.h"
#include "demo-site/demo_site.h"

namespace zv::demo {
namespace {

// What a GIF reader sees in a file of one image; `error` names the first
// structural fault.
struct DecodedGif {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> palette;  // 0xRRGGBB
  std::string comment;
  std::vector<std::uint8_t> indices;
  std::string error;
};

class GifReader {
 public:
  explicit GifReader(std::string_view file) : file_(file) {}

  DecodedGif Read() {
    if (Take(6) != "GIF89a") return Fail("no GIF89a signature");
    gif_.width = Little16();
    gif_.height = Little16();
    const int packed = Byte();
    Take(2);
    if (packed & 0x80) ReadPalette(packed & 0x07);
    while (ok() && gif_.error.empty()) {
      const int introducer = Byte();
      if (introducer == 0x3B) {
        if (at_ != file_.size()) Fail("bytes after the trailer");
        return gif_;
      }
      if (introducer == 0x21) {
        ReadExtension();
      } else if (introducer == 0x2C) {
        ReadImage();
      } else {
        Fail("unknown block " + std::to_string(introducer));
      }
    }
    return gif_.error.empty() ? Fail("no trailer") : gif_;
  }

 private:
  bool ok() const { return at_ <= file_.size(); }
  std::string_view Take(std::size_t n) {
    const std::size_t start = at_;
    at_ += n;
    return at_ <= file_.size() ? file_.substr(start, n) : std::string_view();
  }
  int Byte() {
    const std::string_view b = Take(1);
    return b.empty() ? -1 : static_cast<unsigned char>(b[0]);
  }
  int Little16() { return Byte() | Byte() << 8; }
  DecodedGif Fail(const std::string& why) {
    if (gif_.error.empty()) gif_.error = why;
    return gif_;
  }

  void ReadPalette(int sizeBits) {
    for (int i = 0; i < (2 << sizeBits); ++i)
      gif_.palette.push_back(static_cast<std::uint32_t>(Byte() << 16 | Byte() << 8 | Byte()));
  }

  std::string SubBlocks() {
    std::string data;
    for (int size = Byte(); size > 0 && ok(); size = Byte()) data += Take(size);
    if (!ok()) Fail("truncated sub-blocks");
    return data;
  }

  void ReadExtension() {
    const int label = Byte();
    const std::string data = SubBlocks();
    if (label == 0xFE) gif_.comment = data;
  }

  void ReadImage() {
    Take(4);  // left, top
    const int width = Little16();
    const int height = Little16();
    if (width != gif_.width || height != gif_.height) Fail("image size differs from the screen");
    if (Byte() & 0x80) Fail("unexpected local colour table");
    const int minCodeSize = Byte();
    DecodeLzw(SubBlocks(), minCodeSize);
    if (gif_.indices.size() != static_cast<std::size_t>(width) * height)
      Fail("pixel count " + std::to_string(gif_.indices.size()));
  }

  // The reference GIF decoding: variable-width codes, LSB first; the table
  // grows by one entry per code after the first, the width by one bit when
  // the table fills the current width; a full table of 4096 stops growing.
  void DecodeLzw(std::string_view data, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<std::string> table;
    int width = 0;
    const auto reset = [&] {
      table.clear();
      for (int i = 0; i < clear + 2; ++i) table.emplace_back(1, static_cast<char>(i));
      width = minCodeSize + 1;
    };
    reset();
    std::size_t bit = 0;
    const auto nextCode = [&]() -> int {
      if (bit + width > data.size() * 8) return -1;
      int code = 0;
      for (int i = 0; i < width; ++i, ++bit)
        code |= ((static_cast<unsigned char>(data[bit / 8]) >> (bit % 8)) & 1) << i;
      return code;
    };
    int previous = -1;
    for (int code = nextCode(); code != end; code = nextCode()) {
      if (code < 0) return static_cast<void>(Fail("image data ends without an end code"));
      if (code == clear) {
        reset();
        previous = -1;
        continue;
      }
      std::string entry;
      if (code < static_cast<int>(table.size())) {
        entry = table[code];
      } else if (code == static_cast<int>(table.size()) && previous >= 0) {
        entry = table[previous] + table[previous][0];
      } else {
        return static_cast<void>(Fail("code " + std::to_string(code) + " not in the table"));
      }
      if (previous >= 0 && table.size() < 4096) {
        table.push_back(table[previous] + entry[0]);
        if (table.size() == (1u << width) && width < 12) ++width;
      }
      gif_.indices.insert(gif_.indices.end(), entry.begin(), entry.end());
      previous = code;
    }
  }

  std::string_view file_;
  std::size_t at_ = 0;
  DecodedGif gif_;
};

DecodedGif DecodeGif(std::string_view file) { return GifReader(file).Read(); }

Bitmap Pattern(int width, int height, std::uint8_t (*pixel)(int x, int y)) {
  Bitmap bitmap{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap.pixels.push_back(pixel(x, y));
  return bitmap;
}

std::uint8_t Noise(int x, int y) {
  std::uint32_t v =
      static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
  v ^= v >> 13;
  v *= 0x5BD1E995;
  return (v >> 15) & 1;
}

TEST(GifImage, EncodesBitmapsThatReadBackPixelForPixel) {
  struct Case {
    const char* what;
    Bitmap bitmap;
    std::string comment;
  };
  const std::vector<Case> cases = {
      {"a single white pixel", Pattern(1, 1, [](int, int) -> std::uint8_t { return 0; }), ""},
      {"a single black pixel", Pattern(1, 1, [](int, int) -> std::uint8_t { return 1; }), "one"},
      {"stripes", Pattern(7, 3, [](int x, int) -> std::uint8_t { return x % 2; }), ""},
      {"all black, long runs and wide codes",
       Pattern(400, 300, [](int, int) -> std::uint8_t { return 1; }), ""},
      {"noise that fills the code table many times", Pattern(300, 300, Noise), ""},
      {"a comment longer than one sub-block",
       Pattern(2, 2, [](int x, int y) -> std::uint8_t { return (x + y) % 2; }),
       std::string(600, 'c')},
      {"a QR picture", QrBitmap(123456789), "QR 123456789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = EncodeGif(c.bitmap, c.comment);
    const DecodedGif gif = DecodeGif(file);
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.width, c.bitmap.width);
    EXPECT_EQ(gif.height, c.bitmap.height);
    EXPECT_EQ(gif.palette, (std::vector<std::uint32_t>{0xFFFFFF, 0x000000}));
    EXPECT_EQ(gif.comment, c.comment);
    EXPECT_EQ(gif.indices, c.bitmap.pixels);
  }
}

// The three finder squares of a QR code sit in its corners, framed by the
// white quiet zone; the modules between differ from id to id.
TEST(QrBitmap, LooksLikeAQrCodeAndDependsOnTheId) {
  const Bitmap qr = QrBitmap(555000111);
  const int side = (kQrModules + 2 * kQrQuietModules) * kQrModulePixels;
  ASSERT_EQ(qr.width, side);
  ASSERT_EQ(qr.height, side);
  const auto module = [&](const Bitmap& b, int mx, int my) {
    return b.At((mx + kQrQuietModules) * kQrModulePixels, (my + kQrQuietModules) * kQrModulePixels);
  };
  for (int i = 0; i < side; ++i) {
    EXPECT_EQ(qr.At(i, 0), 0);
    EXPECT_EQ(qr.At(0, i), 0);
  }
  const int far = kQrModules - 7;
  for (const auto& [ox, oy] : {std::pair{0, 0}, std::pair{far, 0}, std::pair{0, far}}) {
    EXPECT_EQ(module(qr, ox, oy), 1);          // outer ring
    EXPECT_EQ(module(qr, ox + 1, oy + 1), 0);  // white ring
    EXPECT_EQ(module(qr, ox + 3, oy + 3), 1);  // core
  }
  EXPECT_EQ(QrBitmap(555000111).pixels, qr.pixels);
  EXPECT_NE(QrBitmap(555000112).pixels, qr.pixels);
}

TEST(QrImageRoute, ServesTheEntrysPictureAsAGif) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  httplib::Client client("127.0.0.1", site.Port());
  for (const std::uint64_t id : {100000007ULL, 987654321ULL}) {
    const auto response = client.Get(QrImagePath(id));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->get_header_value("Content-Type"), "image/gif");
    const DecodedGif gif = DecodeGif(response->body);
    ASSERT_EQ(gif.error, "");
    EXPECT_EQ(gif.indices, QrBitmap(id).pixels);
  }
  EXPECT_EQ(site.QrRequests(), 2);
}

}  // namespace
}  // namespace zv::demo
