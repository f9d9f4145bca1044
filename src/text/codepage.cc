#include "text/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace zv::text {

namespace {

enum class Encoding { Gbk, Utf8, Utf16, Count };

const char* IconvName(Encoding encoding) {
  switch (encoding) {
    case Encoding::Gbk:
      return "CP936";
    case Encoding::Utf8:
      return "UTF-8";
    default:
      return std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
  }
}

Encoding EncodingOf(CodePage codePage) {
  return codePage == CodePage::Gbk ? Encoding::Gbk : Encoding::Utf8;
}

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(-1);

// One conversion descriptor per direction and thread, opened on first use.
class DescriptorCache {
 public:
  DescriptorCache() { descriptors_.fill(kNoDescriptor); }
  ~DescriptorCache() {
    for (iconv_t descriptor : descriptors_) {
      if (descriptor != kNoDescriptor) iconv_close(descriptor);
    }
  }
  DescriptorCache(const DescriptorCache&) = delete;
  DescriptorCache& operator=(const DescriptorCache&) = delete;

  // The descriptor from `from` to `to` in its initial state, or kNoDescriptor.
  iconv_t Get(Encoding from, Encoding to) {
    iconv_t& descriptor = descriptors_[Index(from) * kCount + Index(to)];
    if (descriptor == kNoDescriptor) descriptor = iconv_open(IconvName(to), IconvName(from));
    if (descriptor != kNoDescriptor) iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    return descriptor;
  }

 private:
  static constexpr size_t kCount = static_cast<size_t>(Encoding::Count);
  static size_t Index(Encoding encoding) { return static_cast<size_t>(encoding); }
  std::array<iconv_t, kCount * kCount> descriptors_;
};

iconv_t Descriptor(Encoding from, Encoding to) {
  thread_local DescriptorCache cache;
  return cache.Get(from, to);
}

bool InRange(unsigned char b, unsigned char low, unsigned char high) {
  return b >= low && b <= high;
}

// The length of the UTF-8 sequence at `p`: the whole sequence when it is
// well-formed, else its maximal ill-formed prefix (at least one byte), which
// stands for one replacement character.
size_t Utf8SequenceLength(const unsigned char* p, size_t n) {
  const unsigned char lead = p[0];
  size_t continuations = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (InRange(lead, 0xC2, 0xDF)) {
    continuations = 1;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    continuations = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (InRange(lead, 0xF0, 0xF4)) {
    continuations = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  if (n < 2 || !InRange(p[1], low, high)) return 1;
  size_t length = 2;
  while (length <= continuations && length < n && InRange(p[length], 0x80, 0xBF)) ++length;
  return length;
}

bool IsGbkLead(unsigned char b) { return InRange(b, 0x81, 0xFE); }
bool IsGbkTrail(unsigned char b) { return InRange(b, 0x40, 0xFE) && b != 0x7F; }

size_t GbkCharLength(const unsigned char* p, size_t n) {
  return (IsGbkLead(p[0]) && n >= 2 && IsGbkTrail(p[1])) ? 2 : 1;
}

size_t Utf16CharLength(const unsigned char* p, size_t n) {
  auto unitAt = [p](size_t i) {
    char16_t unit;
    std::memcpy(&unit, p + i, sizeof unit);
    return unit;
  };
  if (n < 4) return std::min<size_t>(n, 2);
  const char16_t first = unitAt(0);
  const char16_t second = unitAt(2);
  const bool pair = first >= 0xD800 && first <= 0xDBFF && second >= 0xDC00 && second <= 0xDFFF;
  return pair ? 4 : 2;
}

// How many input bytes one character that failed to convert occupies.
size_t FailedCharLength(Encoding from, const unsigned char* p, size_t n) {
  switch (from) {
    case Encoding::Gbk:
      return GbkCharLength(p, n);
    case Encoding::Utf8:
      return Utf8SequenceLength(p, n);
    default:
      return Utf16CharLength(p, n);
  }
}

// What a character that failed to convert becomes in the target encoding:
// "?" in GBK, U+FFFD elsewhere (an unmappable character only ever fails on
// the way to GBK).
std::string_view Replacement(Encoding to) {
  static constexpr char16_t kWideReplacement = u'\uFFFD';
  switch (to) {
    case Encoding::Gbk:
      return "?";
    case Encoding::Utf8:
      return "\xEF\xBF\xBD";
    default:
      return {reinterpret_cast<const char*>(&kWideReplacement), sizeof kWideReplacement};
  }
}

// Appends `input` converted from `from` to `to` to `out`, replacing every
// character that fails to convert. `growth` bounds the output bytes per input
// byte for the first attempt; the buffer grows when that is not enough.
void AppendConverted(std::string_view input, Encoding from, Encoding to, size_t growth,
                     std::string& out) {
  iconv_t descriptor = Descriptor(from, to);
  if (descriptor == kNoDescriptor) return;
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  size_t written = out.size();
  out.resize(written + inLeft * growth + 4);
  while (inLeft > 0) {
    char* outPtr = out.data() + written;
    size_t outLeft = out.size() - written;
    const size_t result = iconv(descriptor, &in, &inLeft, &outPtr, &outLeft);
    written = static_cast<size_t>(outPtr - out.data());
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
      continue;
    }
    iconv(descriptor, nullptr, nullptr, nullptr, nullptr);
    const size_t skip = std::min(
        inLeft, FailedCharLength(from, reinterpret_cast<const unsigned char*>(in), inLeft));
    const std::string_view replacement = Replacement(to);
    if (out.size() - written < replacement.size()) out.resize(out.size() * 2 + 16);
    std::memcpy(out.data() + written, replacement.data(), replacement.size());
    written += replacement.size();
    in += skip;
    inLeft -= skip;
  }
  out.resize(written);
}

// The end of the run of ASCII bytes that starts at `begin`, read a word at a time.
size_t AsciiRunEnd(std::string_view text, size_t begin) {
  constexpr uint64_t kHighBits = 0x8080808080808080ULL;
  size_t i = begin;
  for (uint64_t word; i + sizeof word <= text.size(); i += sizeof word) {
    std::memcpy(&word, text.data() + i, sizeof word);
    if (word & kHighBits) break;
  }
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

// The end of the run of whole non-ASCII characters that starts at `begin`.
// GBK trail bytes may be ASCII, so the run is walked character by character.
size_t NonAsciiRunEnd(std::string_view text, size_t begin, Encoding from) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  size_t i = begin;
  while (i < text.size() && bytes[i] >= 0x80) {
    i += from == Encoding::Gbk ? GbkCharLength(bytes + i, text.size() - i) : 1;
  }
  return i;
}

// Converts between two ASCII-compatible encodings: ASCII runs are copied as
// they are, and only the runs between them go through iconv.
std::string ConvertNarrow(std::string_view input, Encoding from, Encoding to, size_t growth) {
  const std::string_view text = input.substr(0, input.find('\0'));
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (size_t i = 0; i < text.size();) {
    const size_t asciiEnd = AsciiRunEnd(text, i);
    out.append(text.substr(i, asciiEnd - i));
    if (asciiEnd == text.size()) break;
    const size_t runEnd = NonAsciiRunEnd(text, asciiEnd, from);
    AppendConverted(text.substr(asciiEnd, runEnd - asciiEnd), from, to, growth, out);
    i = runEnd;
  }
  return out;
}

// Output bytes per input byte, at most: a GBK byte can become three UTF-8
// bytes (0x80 is U+20AC); UTF-16 takes at most two bytes per narrow byte and
// gives at most three per unit; GBK never needs more bytes than UTF-8.
constexpr size_t kGbkToUtf8Growth = 3;
constexpr size_t kWideGrowth = 2;
constexpr size_t kUtf8ToGbkGrowth = 1;

}  // namespace

std::u16string ToWide(std::string_view text, CodePage codePage) {
  std::string bytes;
  AppendConverted(text.substr(0, text.find('\0')), EncodingOf(codePage), Encoding::Utf16,
                  kWideGrowth, bytes);
  std::u16string wide(bytes.size() / sizeof(char16_t), u'\0');
  std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
  return wide;
}

std::string FromWide(std::u16string_view wide, CodePage codePage) {
  const std::u16string_view units = wide.substr(0, wide.find(u'\0'));
  const std::string_view bytes(reinterpret_cast<const char*>(units.data()),
                               units.size() * sizeof(char16_t));
  std::string out;
  AppendConverted(bytes, Encoding::Utf16, EncodingOf(codePage), kWideGrowth, out);
  return out;
}

Text Utf8ToGbk(std::string_view utf8) {
  return ConvertNarrow(utf8, Encoding::Utf8, Encoding::Gbk, kUtf8ToGbkGrowth);
}

std::string GbkToUtf8(std::string_view gbk) {
  return ConvertNarrow(gbk, Encoding::Gbk, Encoding::Utf8, kGbkToUtf8Growth);
}

}  // namespace zv::text
