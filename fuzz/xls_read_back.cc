#include "xls_read_back.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace zv::fuzz {
namespace {

constexpr std::size_t kSector = 512;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatMark = 0xFFFFFFFD;
constexpr std::uint32_t kDifatMark = 0xFFFFFFFC;
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::size_t kMaxRecordData = 8224;

// A broken rule; thrown inside the reader only and turned into `failure`.
struct Broken {
  std::string rule;
};

void Require(bool condition, const char* rule) {
  if (!condition) throw Broken{rule};
}

std::uint32_t Byte(std::span<const std::uint8_t> bytes, std::size_t at) {
  Require(at < bytes.size(), "read past the end");
  return bytes[at];
}

std::uint32_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return Byte(bytes, at) | Byte(bytes, at + 1) << 8;
}

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t at) {
  return U16(bytes, at) | U16(bytes, at + 2) << 16;
}

class CompoundFile {
 public:
  explicit CompoundFile(std::span<const std::uint8_t> file) : file_(file) {
    static constexpr std::uint8_t kSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    Require(file.size() >= 2 * kSector && file.size() % kSector == 0, "file size");
    Require(std::equal(std::begin(kSignature), std::end(kSignature), file.begin()), "signature");
    Require(U16(file, 0x1A) == 3 && U16(file, 0x1C) == 0xFFFE, "version or byte order");
    Require(U16(file, 0x1E) == 9 && U16(file, 0x20) == 6, "sector sizes");
    Require(U32(file, 0x3C) == kEndOfChain && U32(file, 0x38) == kMiniStreamCutoff,
            "mini stream fields");
    sectors_ = file.size() / kSector - 1;
    ReadFat();
  }

  // The sectors of the chain from `start`, each in range and used once.
  std::vector<std::uint32_t> Chain(std::uint32_t start) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t s = start; s != kEndOfChain; s = fat_[s]) {
      Require(s < sectors_, "chain leaves the file");
      Claim(s);
      chain.push_back(s);
    }
    return chain;
  }

  std::vector<std::uint8_t> Read(const std::vector<std::uint32_t>& chain) const {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t s : chain) {
      const auto sector = Sector(s);
      bytes.insert(bytes.end(), sector.begin(), sector.end());
    }
    return bytes;
  }

  // Every sector belongs to the FAT, the DIFAT or one chain read so far.
  void RequireAllUsed() const { Require(used_.size() == sectors_, "a sector nothing uses"); }

 private:
  std::span<const std::uint8_t> Sector(std::uint32_t s) const {
    return file_.subspan((s + 1) * kSector, kSector);
  }

  void Claim(std::uint32_t s) { Require(used_.insert(s).second, "a sector used twice"); }

  void ReadFat() {
    const std::uint32_t fatCount = U32(file_, 0x2C);
    std::uint32_t difat = U32(file_, 0x44);
    const std::uint32_t difatCount = U32(file_, 0x48);
    std::vector<std::uint32_t> fatSectors;
    for (std::size_t i = 0; i < 109 && fatSectors.size() < fatCount; ++i)
      fatSectors.push_back(U32(file_, 0x4C + 4 * i));
    std::vector<std::uint32_t> difatSectors;
    while (fatSectors.size() < fatCount) {
      Require(difat < sectors_ && difatSectors.size() < difatCount, "DIFAT chain");
      difatSectors.push_back(difat);
      const auto sector = Sector(difat);
      for (std::size_t i = 0; i < 127 && fatSectors.size() < fatCount; ++i)
        fatSectors.push_back(U32(sector, 4 * i));
      difat = U32(sector, 508);
    }
    Require(difatSectors.size() == difatCount, "DIFAT sector count");
    Require(fatCount * (kSector / 4) >= sectors_, "FAT too small for the file");
    for (std::uint32_t s : fatSectors) {
      Require(s < sectors_, "FAT sector out of range");
      const auto sector = Sector(s);
      for (std::size_t i = 0; i < kSector / 4; ++i) fat_.push_back(U32(sector, 4 * i));
    }
    for (std::uint32_t s : fatSectors) {
      Require(fat_[s] == kFatMark, "FAT sector not marked");
      Claim(s);
    }
    for (std::uint32_t s : difatSectors) {
      Require(fat_[s] == kDifatMark, "DIFAT sector not marked");
      Claim(s);
    }
    for (std::size_t s = sectors_; s < fat_.size(); ++s)
      Require(fat_[s] == kFree, "FAT maps a sector past the end");
  }

  std::span<const std::uint8_t> file_;
  std::size_t sectors_ = 0;
  std::vector<std::uint32_t> fat_;
  std::set<std::uint32_t> used_;
};

// The Workbook stream of the file.
std::vector<std::uint8_t> WorkbookStream(std::span<const std::uint8_t> file) {
  CompoundFile compound(file);
  const std::vector<std::uint8_t> directory = compound.Read(compound.Chain(U32(file, 0x30)));
  Require(Byte(directory, 0x42) == 5, "no root entry first");
  std::optional<std::vector<std::uint8_t>> stream;
  for (std::size_t at = 0; at + 128 <= directory.size(); at += 128) {
    const std::uint32_t nameBytes = U16(directory, at + 0x40);
    if (Byte(directory, at + 0x42) != 2) continue;
    Require(nameBytes >= 2 && nameBytes <= 64 && nameBytes % 2 == 0, "entry name length");
    std::u16string name;
    for (std::size_t i = 0; i + 2 < nameBytes; i += 2)
      name += static_cast<char16_t>(U16(directory, at + i));
    Require(name == u"Workbook" && !stream, "an unexpected stream");
    const std::uint32_t size = U32(directory, at + 0x78);
    Require(size >= kMiniStreamCutoff, "a stream below the mini stream cutoff");
    const std::vector<std::uint32_t> chain = compound.Chain(U32(directory, at + 0x74));
    Require(chain.size() == (size + kSector - 1) / kSector, "chain length and stream size");
    stream = compound.Read(chain);
    stream->resize(size);
  }
  Require(stream.has_value(), "no Workbook stream");
  compound.RequireAllUsed();
  return *stream;
}

struct Record {
  std::uint32_t type;
  std::size_t start;  // of the header
  std::span<const std::uint8_t> data;
};

class RecordReader {
 public:
  explicit RecordReader(std::span<const std::uint8_t> stream, std::size_t at = 0)
      : stream_(stream), at_(at) {}

  Record Next() {
    const std::uint32_t type = U16(stream_, at_);
    const std::uint32_t length = U16(stream_, at_ + 2);
    Require(length <= kMaxRecordData && at_ + 4 + length <= stream_.size(), "record bounds");
    const Record record{type, at_, stream_.subspan(at_ + 4, length)};
    at_ += 4 + length;
    return record;
  }
  std::uint32_t PeekType() const { return U16(stream_, at_); }

 private:
  std::span<const std::uint8_t> stream_;
  std::size_t at_;
};

// Reads the characters of a BIFF8 string whose option byte is `option`.
std::u16string Chars(std::span<const std::uint8_t> data, std::size_t& at, std::size_t count,
                     std::uint32_t option) {
  Require((option & ~1u) == 0, "string option byte");
  std::u16string chars;
  for (std::size_t i = 0; i < count; ++i) {
    if (option) {
      chars += static_cast<char16_t>(U16(data, at));
      at += 2;
    } else {
      chars += static_cast<char16_t>(Byte(data, at++));
    }
  }
  return chars;
}

std::u16string ShortString(std::span<const std::uint8_t> data, std::size_t at) {
  const std::size_t count = Byte(data, at);
  const std::uint32_t option = Byte(data, at + 1);
  at += 2;
  std::u16string text = Chars(data, at, count, option);
  Require(at == data.size(), "bytes after a short string");
  return text;
}

// The shared strings from SST and its CONTINUE records, checked against EXTSST.
class SharedStrings {
 public:
  void Read(const Record& sst, RecordReader& records) {
    std::vector<Record> segments{sst};
    while (records.PeekType() == 0x003C) segments.push_back(records.Next());
    references_ = U32(sst.data, 0);
    const std::uint32_t count = U32(sst.data, 4);
    std::size_t segment = 0;
    std::size_t at = 8;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (at == segments[segment].data.size()) {
        Require(++segment < segments.size(), "SST ends early");
        at = 0;
      }
      const Record& record = segments[segment];
      starts_.emplace_back(record.start + 4 + at, 4 + at);
      const std::size_t length = U16(record.data, at);
      std::uint32_t option = Byte(record.data, at + 2);
      at += 3;
      std::u16string text;
      for (;;) {
        const std::size_t charSize = option ? 2 : 1;
        const std::size_t fit =
            std::min(length - text.size(), (segments[segment].data.size() - at) / charSize);
        Require(fit > 0 || text.size() == length, "a string header without its first character");
        text += Chars(segments[segment].data, at, fit, option);
        if (text.size() == length) break;
        Require(++segment < segments.size(), "SST ends inside a string");
        option = Byte(segments[segment].data, 0);  // each CONTINUE repeats it
        at = 1;
      }
      strings_.push_back(std::move(text));
    }
    Require(segment + 1 == segments.size() && at == segments[segment].data.size(),
            "bytes after the last string");
  }

  void CheckExtSst(const Record& extSst) const {
    const std::size_t bucket = U16(extSst.data, 0);
    Require(bucket >= 8, "EXTSST bucket size");
    const std::size_t buckets = (strings_.size() + bucket - 1) / bucket;
    Require(extSst.data.size() == 2 + 8 * buckets, "EXTSST size");
    for (std::size_t b = 0; b < buckets; ++b) {
      const auto [position, offset] = starts_[b * bucket];
      Require(U32(extSst.data, 2 + 8 * b) == position && U16(extSst.data, 6 + 8 * b) == offset,
              "EXTSST entry");
    }
  }

  const std::u16string& At(std::uint32_t index) const {
    Require(index < strings_.size(), "LABELSST index");
    return strings_[index];
  }
  std::uint32_t References() const { return references_; }

 private:
  std::vector<std::u16string> strings_;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> starts_;  // stream position, offset
  std::uint32_t references_ = 0;
};

void RequireBof(const Record& record, std::uint32_t substream) {
  Require(
      record.type == 0x0809 && U16(record.data, 0) == 0x0600 && U16(record.data, 2) == substream,
      "BOF");
}

// Reads one worksheet's cells; returns how many refer to shared strings.
std::uint32_t ReadSheetCells(std::span<const std::uint8_t> stream, std::size_t position,
                             const SharedStrings& strings, std::uint32_t xfCount,
                             ReadSheet& sheet) {
  RecordReader records(stream, position);
  RequireBof(records.Next(), 0x0010);
  const Record dimensions = records.Next();
  Require(dimensions.type == 0x0200, "DIMENSIONS");
  std::uint32_t references = 0;
  for (Record record = records.Next(); record.type != 0x000A; record = records.Next()) {
    if (record.type != 0x00FD && record.type != 0x0201) continue;
    ReadCell cell{static_cast<int>(U16(record.data, 0)),
                  static_cast<int>(U16(record.data, 2)),
                  record.type == 0x0201,
                  {}};
    Require(U16(record.data, 4) < xfCount, "cell XF");
    Require(record.data.size() == (cell.blank ? 6u : 10u), "cell record size");
    Require(cell.row >= static_cast<int>(U32(dimensions.data, 0)) &&
                cell.row < static_cast<int>(U32(dimensions.data, 4)) &&
                cell.column >= static_cast<int>(U16(dimensions.data, 8)) &&
                cell.column < static_cast<int>(U16(dimensions.data, 10)),
            "cell outside DIMENSIONS");
    if (!cell.blank) {
      cell.text = strings.At(U32(record.data, 6));
      ++references;
    }
    sheet.cells.push_back(std::move(cell));
  }
  return references;
}

ReadWorkbook ReadStream(std::span<const std::uint8_t> stream) {
  ReadWorkbook book;
  RecordReader records(stream);
  RequireBof(records.Next(), 0x0005);
  SharedStrings strings;
  std::vector<std::uint32_t> positions;
  std::uint32_t xfCount = 0;
  bool sawSst = false;
  for (Record record = records.Next(); record.type != 0x000A; record = records.Next()) {
    if (record.type == 0x00E0) ++xfCount;
    if (record.type == 0x0085) {
      positions.push_back(U32(record.data, 0));
      book.sheets.push_back({ShortString(record.data, 6), {}});
    }
    if (record.type == 0x00FC) {
      strings.Read(record, records);
      sawSst = true;
      const Record extSst = records.Next();
      Require(extSst.type == 0x00FF, "EXTSST after SST");
      strings.CheckExtSst(extSst);
    }
  }
  Require(sawSst && !book.sheets.empty(), "SST or BOUNDSHEET missing");
  std::uint32_t references = 0;
  for (std::size_t i = 0; i < positions.size(); ++i)
    references += ReadSheetCells(stream, positions[i], strings, xfCount, book.sheets[i]);
  Require(references == strings.References(), "SST reference count");
  return book;
}

}  // namespace

ReadWorkbook ReadBackWorkbook(std::span<const std::uint8_t> file) {
  try {
    return ReadStream(WorkbookStream(file));
  } catch (const Broken& broken) {
    return {broken.rule, {}};
  }
}

}  // namespace zv::fuzz
