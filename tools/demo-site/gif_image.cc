#include "demo-site/gif_image.h"

#include <unordered_map>

namespace zv::demo {

namespace {

constexpr int kMinCodeSize = 2;  // the smallest GIF allows, enough for two colours
constexpr int kClearCode = 1 << kMinCodeSize;
constexpr int kEndCode = kClearCode + 1;
constexpr int kFirstFreeCode = kClearCode + 2;
constexpr int kMaxCodeSize = 12;
constexpr int kCodeLimit = 1 << kMaxCodeSize;
constexpr std::size_t kMaxSubBlock = 255;

void PutLittle16(std::string& out, int value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

// Data sub-blocks of at most 255 bytes each, then the block terminator.
void PutSubBlocks(std::string& out, std::string_view data) {
  for (std::size_t at = 0; at < data.size(); at += kMaxSubBlock) {
    const std::string_view block = data.substr(at, kMaxSubBlock);
    out += static_cast<char>(block.size());
    out += block;
  }
  out += '\0';
}

// Packs variable-width codes least significant bit first, as GIF wants.
class CodeWriter {
 public:
  void Put(int code, int width) {
    pending_ |= static_cast<std::uint32_t>(code) << pendingBits_;
    pendingBits_ += width;
    while (pendingBits_ >= 8) {
      bytes_ += static_cast<char>(pending_ & 0xFF);
      pending_ >>= 8;
      pendingBits_ -= 8;
    }
  }
  std::string Finish() {
    if (pendingBits_ > 0) bytes_ += static_cast<char>(pending_ & 0xFF);
    pending_ = 0;
    pendingBits_ = 0;
    return std::move(bytes_);
  }

 private:
  std::string bytes_;
  std::uint32_t pending_ = 0;
  int pendingBits_ = 0;
};

// The GIF flavour of LZW: codes grow from kMinCodeSize + 1 bits up to 12, and
// a full table is answered with a clear code and a fresh start.
class LzwEncoder {
 public:
  std::string Encode(const std::vector<std::uint8_t>& pixels) {
    Reset();
    writer_.Put(kClearCode, codeSize_);
    int prefix = pixels.front();
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      const std::uint32_t key = static_cast<std::uint32_t>(prefix) << 8 | pixels[i];
      if (const auto known = table_.find(key); known != table_.end()) {
        prefix = known->second;
        continue;
      }
      writer_.Put(prefix, codeSize_);
      AddCode(key);
      prefix = pixels[i];
    }
    writer_.Put(prefix, codeSize_);
    writer_.Put(kEndCode, codeSize_);
    return writer_.Finish();
  }

 private:
  void Reset() {
    table_.clear();
    nextCode_ = kFirstFreeCode;
    codeSize_ = kMinCodeSize + 1;
  }

  // The decoder learns each code one step after the encoder, so the width
  // grows once the code just assigned no longer fits the current width.
  void AddCode(std::uint32_t key) {
    table_.emplace(key, nextCode_++);
    if (nextCode_ > (1 << codeSize_) && codeSize_ < kMaxCodeSize) ++codeSize_;
    if (nextCode_ == kCodeLimit) {
      writer_.Put(kClearCode, codeSize_);
      Reset();
    }
  }

  CodeWriter writer_;
  std::unordered_map<std::uint32_t, int> table_;
  int nextCode_ = kFirstFreeCode;
  int codeSize_ = kMinCodeSize + 1;
};

void PutHeader(std::string& out, const Bitmap& bitmap) {
  out += "GIF89a";
  PutLittle16(out, bitmap.width);
  PutLittle16(out, bitmap.height);
  out += static_cast<char>(0x80);  // a global colour table of two entries
  out += '\0';                     // background colour index
  out += '\0';                     // no aspect ratio
  out += std::string("\xFF\xFF\xFF\x00\x00\x00", 6);
}

void PutComment(std::string& out, std::string_view comment) {
  if (comment.empty()) return;
  out += "\x21\xFE";
  PutSubBlocks(out, comment);
}

void PutImage(std::string& out, const Bitmap& bitmap) {
  out += '\x2C';
  PutLittle16(out, 0);
  PutLittle16(out, 0);
  PutLittle16(out, bitmap.width);
  PutLittle16(out, bitmap.height);
  out += '\0';  // no local colour table, not interlaced
  out += static_cast<char>(kMinCodeSize);
  PutSubBlocks(out, LzwEncoder().Encode(bitmap.pixels));
}

}  // namespace

std::string EncodeGif(const Bitmap& bitmap, std::string_view comment) {
  std::string out;
  PutHeader(out, bitmap);
  PutComment(out, comment);
  PutImage(out, bitmap);
  out += '\x3B';
  return out;
}

}  // namespace zv::demo
