#include "app/workbook.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <span>
#include <utility>

namespace zv::app {
namespace {

// ---------------------------------------------------------------------------
// Little-endian output

class ByteWriter {
 public:
  void U8(unsigned value) { bytes_.push_back(static_cast<std::uint8_t>(value)); }
  void U16(unsigned value) {
    U8(value & 0xFF);
    U8(value >> 8 & 0xFF);
  }
  void U32(std::uint32_t value) {
    U16(value & 0xFFFF);
    U16(value >> 16);
  }
  void Zeros(std::size_t count) { bytes_.resize(bytes_.size() + count); }
  void PatchU16(std::size_t at, unsigned value) {
    bytes_[at] = value & 0xFF;
    bytes_[at + 1] = value >> 8 & 0xFF;
  }
  void PatchU32(std::size_t at, std::uint32_t value) {
    PatchU16(at, value & 0xFFFF);
    PatchU16(at + 2, value >> 16);
  }
  std::size_t Size() const { return bytes_.size(); }
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// ---------------------------------------------------------------------------
// BIFF8 records

enum RecordType : std::uint16_t {
  kEof = 0x000A,
  kContinue = 0x003C,
  kWindow1 = 0x003D,
  kCodePage = 0x0042,
  kFont = 0x0031,
  kBoundSheet = 0x0085,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kExtSst = 0x00FF,
  kXf = 0x00E0,
  kDimensions = 0x0200,
  kBlankCell = 0x0201,
  kWindow2 = 0x023E,
  kStyle = 0x0293,
  kFormat = 0x041E,
  kBof = 0x0809,
};

constexpr std::size_t kMaxRecordData = 8224;
constexpr unsigned kCodePageUtf16 = 1200;
constexpr unsigned kTextFormat = 49;  // the built-in number format "@"
constexpr unsigned kStyleXfCount = 15;
constexpr unsigned kTextXf = kStyleXfCount + 1;  // after the default cell XF
constexpr unsigned kFontCount = 5;               // indices 0-3 and 5; 4 does not exist

// Writes records into the Workbook stream; the record being written is the
// one started last.
class BiffWriter {
 public:
  explicit BiffWriter(ByteWriter& out) : out_(out) {}

  void Begin(std::uint16_t type) {
    recordStart_ = out_.Size();
    out_.U16(type);
    out_.U16(0);
  }
  void End() { out_.PatchU16(recordStart_ + 2, static_cast<unsigned>(DataSize())); }
  // Ends the record and starts a CONTINUE record carrying on its data.
  void Continue() {
    End();
    Begin(kContinue);
  }
  std::size_t Room() const { return kMaxRecordData - DataSize(); }
  // Where the next byte goes, counted from the record's header.
  std::size_t OffsetInRecord() const { return out_.Size() - recordStart_; }
  ByteWriter& Out() { return out_; }

 private:
  std::size_t DataSize() const { return out_.Size() - recordStart_ - 4; }

  ByteWriter& out_;
  std::size_t recordStart_ = 0;
};

bool FitsIn8Bits(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x100; });
}

// The option byte of a BIFF8 string: bit 0 set for 16-bit characters.
unsigned OptionByte(bool compressed) { return compressed ? 0 : 1; }

void PutChars(ByteWriter& out, std::u16string_view chars, bool compressed) {
  for (char16_t unit : chars) {
    if (compressed) {
      out.U8(unit);
    } else {
      out.U16(unit);
    }
  }
}

// A string with an 8-bit (short) or 16-bit (long) character count, unsplit.
void PutString(ByteWriter& out, std::u16string_view text, bool shortCount) {
  const bool compressed = FitsIn8Bits(text);
  if (shortCount) {
    out.U8(static_cast<unsigned>(text.size()));
  } else {
    out.U16(static_cast<unsigned>(text.size()));
  }
  out.U8(OptionByte(compressed));
  PutChars(out, text, compressed);
}

void PutBof(BiffWriter& biff, unsigned substreamType) {
  biff.Begin(kBof);
  ByteWriter& out = biff.Out();
  out.U16(0x0600);  // BIFF8
  out.U16(substreamType);
  out.U16(0x0DBB);  // build
  out.U16(0x07CC);  // year
  out.U32(0);       // file history
  out.U32(0x0006);  // lowest BIFF version that can read all records
  biff.End();
}

void PutEof(BiffWriter& biff) {
  biff.Begin(kEof);
  biff.End();
}

void PutFonts(BiffWriter& biff) {
  for (unsigned i = 0; i < kFontCount; ++i) {
    biff.Begin(kFont);
    ByteWriter& out = biff.Out();
    out.U16(200);     // height in twips: 10 points
    out.U16(0);       // no bold, italic, strike-out
    out.U16(0x7FFF);  // the window text colour
    out.U16(400);     // normal weight
    out.U16(0);       // no super- or subscript
    out.U8(0);        // no underline
    out.U8(0);        // family
    out.U8(0);        // character set
    out.U8(0);
    PutString(out, u"Arial", /*shortCount=*/true);
    biff.End();
  }
}

void PutXf(BiffWriter& biff, unsigned font, unsigned format, bool isStyle,
           unsigned usedAttributes) {
  biff.Begin(kXf);
  ByteWriter& out = biff.Out();
  out.U16(font);
  out.U16(format);
  out.U16(isStyle ? 0xFFF5 : 0x0001);  // locked; a style XF has parent 0xFFF
  out.U8(0x20);                        // aligned at the bottom
  out.U8(0);                           // no rotation
  out.U8(0);                           // no indent
  out.U8(usedAttributes);
  out.U32(0);       // no borders
  out.U32(0);       // no fill
  out.U16(0x20C0);  // default pattern colours
  biff.End();
}

// The fifteen built-in style XFs, the default cell XF, then the text cell XF.
void PutXfs(BiffWriter& biff) {
  constexpr unsigned kAllButFont = 0xF4;
  PutXf(biff, 0, 0, true, 0);
  for (unsigned i = 1; i < kStyleXfCount; ++i) {
    const unsigned font = i <= 2 ? 1 : i <= 4 ? 2 : 0;
    PutXf(biff, font, 0, true, kAllButFont);
  }
  PutXf(biff, 0, 0, false, 0);
  constexpr unsigned kOwnNumberFormat = 0x04;
  PutXf(biff, 0, kTextFormat, false, kOwnNumberFormat);
}

void PutWorkbookSettings(BiffWriter& biff) {
  ByteWriter& out = biff.Out();
  biff.Begin(kCodePage);
  out.U16(kCodePageUtf16);
  biff.End();

  biff.Begin(kWindow1);
  out.U16(0x01E0);  // position and size in twips
  out.U16(0x005A);
  out.U16(0x3FCF);
  out.U16(0x2A4E);
  out.U16(0x0038);  // scroll bars and sheet tabs shown
  out.U16(0);       // active sheet
  out.U16(0);       // first visible tab
  out.U16(1);       // selected sheets
  out.U16(0x0258);  // tab bar width
  biff.End();

  PutFonts(biff);

  biff.Begin(kFormat);
  out.U16(kTextFormat);
  PutString(out, u"@", /*shortCount=*/false);
  biff.End();

  PutXfs(biff);

  biff.Begin(kStyle);
  out.U16(0x8000);  // built-in style on XF 0
  out.U8(0);        // "Normal"
  out.U8(0xFF);
  biff.End();
}

// One entry of EXTSST: where a bucket's first string starts.
struct BucketStart {
  std::uint32_t streamPosition;
  std::uint16_t offsetInRecord;
};

// Writes SST with as many CONTINUE records as the strings need, and returns
// where every `bucketSize`-th string starts. A string's header and first
// character always stay together; when its characters run past a record, the
// CONTINUE record starts with the option byte again.
std::vector<BucketStart> PutSharedStrings(BiffWriter& biff,
                                          const std::vector<const std::u16string*>& strings,
                                          std::uint32_t references, std::size_t bucketSize) {
  ByteWriter& out = biff.Out();
  std::vector<BucketStart> buckets;
  biff.Begin(kSst);
  out.U32(references);
  out.U32(static_cast<std::uint32_t>(strings.size()));
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const std::u16string_view text = *strings[i];
    const bool compressed = FitsIn8Bits(text);
    const std::size_t charSize = compressed ? 1 : 2;
    const std::size_t headerSize = 3;
    if (biff.Room() < headerSize + (text.empty() ? 0 : charSize)) biff.Continue();
    if (i % bucketSize == 0) {
      buckets.push_back({static_cast<std::uint32_t>(out.Size()),
                         static_cast<std::uint16_t>(biff.OffsetInRecord())});
    }
    out.U16(static_cast<unsigned>(text.size()));
    out.U8(OptionByte(compressed));
    std::size_t written = 0;
    for (;;) {
      const std::size_t fit = std::min(text.size() - written, biff.Room() / charSize);
      PutChars(out, text.substr(written, fit), compressed);
      written += fit;
      if (written == text.size()) break;
      biff.Continue();
      out.U8(OptionByte(compressed));
    }
  }
  biff.End();
  return buckets;
}

void PutExtSst(BiffWriter& biff, std::size_t bucketSize, const std::vector<BucketStart>& buckets) {
  ByteWriter& out = biff.Out();
  biff.Begin(kExtSst);
  out.U16(static_cast<unsigned>(bucketSize));
  for (const BucketStart& bucket : buckets) {
    out.U32(bucket.streamPosition);
    out.U16(bucket.offsetInRecord);
    out.U16(0);
  }
  biff.End();
}

// Excel keeps at most 128 buckets of at least 8 strings each.
std::size_t ExtSstBucketSize(std::size_t stringCount) {
  constexpr std::size_t kMaxBuckets = 128;
  return std::max<std::size_t>(8, (stringCount + kMaxBuckets - 1) / kMaxBuckets);
}

// Returns where the sheet's stream position is to be filled in.
std::size_t PutBoundSheet(BiffWriter& biff, std::u16string_view name) {
  ByteWriter& out = biff.Out();
  biff.Begin(kBoundSheet);
  const std::size_t positionAt = out.Size();
  out.U32(0);
  out.U16(0);  // a visible worksheet
  PutString(out, name, /*shortCount=*/true);
  biff.End();
  return positionAt;
}

struct CellRecord {
  std::uint16_t row;
  std::uint16_t column;
  std::uint32_t string;  // index into the shared strings, or kNoString
};
constexpr std::uint32_t kNoString = UINT32_MAX;  // a blank cell

void PutDimensions(BiffWriter& biff, const std::vector<CellRecord>& cells) {
  std::uint32_t firstRow = 0, rowEnd = 0;
  unsigned firstColumn = 0, columnEnd = 0;
  if (!cells.empty()) {
    firstRow = cells.front().row;
    rowEnd = cells.back().row + 1u;
    const auto [least, most] = std::minmax_element(
        cells.begin(), cells.end(),
        [](const CellRecord& a, const CellRecord& b) { return a.column < b.column; });
    firstColumn = least->column;
    columnEnd = most->column + 1u;
  }
  ByteWriter& out = biff.Out();
  biff.Begin(kDimensions);
  out.U32(firstRow);
  out.U32(rowEnd);
  out.U16(firstColumn);
  out.U16(columnEnd);
  out.U16(0);
  biff.End();
}

void PutWindow2(BiffWriter& biff, bool firstSheet) {
  // Grid lines, headers, zeros, default grid colour, outline symbols; the
  // first sheet is also selected and shown.
  const unsigned flags = firstSheet ? 0x06B6 : 0x00B6;
  ByteWriter& out = biff.Out();
  biff.Begin(kWindow2);
  out.U16(flags);
  out.U16(0);   // top row shown
  out.U16(0);   // left column shown
  out.U16(64);  // grid line colour: the default
  out.U16(0);
  out.U16(0);  // zoom in page break preview: default
  out.U16(0);  // zoom in normal view: default
  out.U32(0);
  biff.End();
}

void PutWorksheet(BiffWriter& biff, const std::vector<CellRecord>& cells, bool firstSheet) {
  ByteWriter& out = biff.Out();
  PutBof(biff, 0x0010);
  PutDimensions(biff, cells);
  for (const CellRecord& cell : cells) {
    biff.Begin(cell.string == kNoString ? kBlankCell : kLabelSst);
    out.U16(cell.row);
    out.U16(cell.column);
    out.U16(kTextXf);
    if (cell.string != kNoString) out.U32(cell.string);
    biff.End();
  }
  PutWindow2(biff, firstSheet);
  PutEof(biff);
}

// Orders a sheet's cells by row, then column; of a cell set more than once
// the last setting is kept.
std::vector<CellRecord> OrderedCells(std::vector<CellRecord> cells) {
  const auto position = [](const CellRecord& cell) { return cell.row << 8 | cell.column; };
  std::stable_sort(cells.begin(), cells.end(), [&](const CellRecord& a, const CellRecord& b) {
    return position(a) < position(b);
  });
  std::vector<CellRecord> kept;
  kept.reserve(cells.size());
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i + 1 == cells.size() || position(cells[i + 1]) != position(cells[i])) {
      kept.push_back(cells[i]);
    }
  }
  return kept;
}

// ---------------------------------------------------------------------------
// Compound File (version 3, 512-byte sectors)

constexpr std::size_t kSectorSize = 512;
constexpr std::size_t kIdsPerSector = kSectorSize / 4;
constexpr std::size_t kHeaderFatIds = 109;
constexpr std::size_t kIdsPerDifatSector = kIdsPerSector - 1;  // the last id chains on
constexpr std::size_t kMiniStreamCutoff = 4096;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
// Stream positions in BIFF are 32-bit; keep well inside them.
constexpr std::size_t kMaxStreamSize = 0x7FFFFFFF;

std::size_t SectorsFor(std::size_t bytes) { return (bytes + kSectorSize - 1) / kSectorSize; }

// Sectors in file order: the Workbook stream, the FAT, the DIFAT sectors (only
// when the header's 109 FAT ids are not enough), the directory.
struct CompoundLayout {
  std::uint32_t streamSectors = 0;
  std::uint32_t fatSectors = 0;
  std::uint32_t difatSectors = 0;

  std::uint32_t FirstFat() const { return streamSectors; }
  std::uint32_t FirstDifat() const { return streamSectors + fatSectors; }
  std::uint32_t Directory() const { return streamSectors + fatSectors + difatSectors; }
  std::uint32_t Total() const { return Directory() + 1; }
};

CompoundLayout PlanCompoundFile(std::size_t streamSize) {
  CompoundLayout layout;
  layout.streamSectors = static_cast<std::uint32_t>(SectorsFor(streamSize));
  // The FAT must map its own sectors and the DIFAT's: grow both until they fit.
  for (;;) {
    const auto fat =
        static_cast<std::uint32_t>((layout.Total() + kIdsPerSector - 1) / kIdsPerSector);
    const auto difat = static_cast<std::uint32_t>(
        fat <= kHeaderFatIds ? 0
                             : (fat - kHeaderFatIds + kIdsPerDifatSector - 1) / kIdsPerDifatSector);
    if (fat == layout.fatSectors && difat == layout.difatSectors) return layout;
    layout.fatSectors = fat;
    layout.difatSectors = difat;
  }
}

std::uint32_t FatSectorId(const CompoundLayout& layout, std::size_t index) {
  return index < layout.fatSectors ? static_cast<std::uint32_t>(layout.FirstFat() + index)
                                   : kFreeSector;
}

void PutCompoundHeader(ByteWriter& out, const CompoundLayout& layout) {
  for (unsigned byte : {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1}) out.U8(byte);
  out.Zeros(16);    // class id
  out.U16(0x003E);  // minor version
  out.U16(0x0003);  // major version 3: 512-byte sectors
  out.U16(0xFFFE);  // little-endian
  out.U16(9);       // sector size 2^9
  out.U16(6);       // mini sector size 2^6
  out.Zeros(6);
  out.U32(0);  // directory sectors: not counted in version 3
  out.U32(layout.fatSectors);
  out.U32(layout.Directory());
  out.U32(0);  // transaction signature
  out.U32(kMiniStreamCutoff);
  out.U32(kEndOfChain);  // no mini FAT
  out.U32(0);
  out.U32(layout.difatSectors ? layout.FirstDifat() : kEndOfChain);
  out.U32(layout.difatSectors);
  for (std::size_t i = 0; i < kHeaderFatIds; ++i) out.U32(FatSectorId(layout, i));
}

void PutFat(ByteWriter& out, const CompoundLayout& layout) {
  for (std::uint32_t s = 0; s < layout.streamSectors; ++s) {
    out.U32(s + 1 < layout.streamSectors ? s + 1 : kEndOfChain);
  }
  for (std::uint32_t i = 0; i < layout.fatSectors; ++i) out.U32(kFatSector);
  for (std::uint32_t i = 0; i < layout.difatSectors; ++i) out.U32(kDifatSector);
  out.U32(kEndOfChain);  // the directory
  for (std::size_t i = layout.Total(); i < layout.fatSectors * kIdsPerSector; ++i) {
    out.U32(kFreeSector);
  }
}

void PutDifat(ByteWriter& out, const CompoundLayout& layout) {
  for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
    for (std::size_t j = 0; j < kIdsPerDifatSector; ++j) {
      out.U32(FatSectorId(layout, kHeaderFatIds + d * kIdsPerDifatSector + j));
    }
    out.U32(d + 1 < layout.difatSectors ? layout.FirstDifat() + d + 1 : kEndOfChain);
  }
}

struct DirectoryEntry {
  std::u16string_view name;
  unsigned type;  // 0 unused, 2 stream, 5 root storage
  std::uint32_t child;
  std::uint32_t start;
  std::uint32_t size;
};

void PutDirectoryEntry(ByteWriter& out, const DirectoryEntry& entry) {
  constexpr std::size_t kNameBytes = 64;
  PutChars(out, entry.name, /*compressed=*/false);
  out.Zeros(kNameBytes - entry.name.size() * 2);
  out.U16(entry.name.empty() ? 0 : static_cast<unsigned>(entry.name.size() + 1) * 2);
  out.U8(entry.type);
  out.U8(entry.type == 0 ? 0 : 1);  // black
  out.U32(kNoStream);               // left sibling
  out.U32(kNoStream);               // right sibling
  out.U32(entry.child);
  out.Zeros(16);  // class id
  out.U32(0);     // state bits
  out.Zeros(16);  // creation and modification times
  out.U32(entry.start);
  out.U32(entry.size);
  out.U32(0);
}

void PutDirectory(ByteWriter& out, std::size_t streamSize) {
  PutDirectoryEntry(out, {u"Root Entry", 5, 1, kEndOfChain, 0});
  PutDirectoryEntry(out, {u"Workbook", 2, kNoStream, 0, static_cast<std::uint32_t>(streamSize)});
  for (int unused = 0; unused < 2; ++unused) PutDirectoryEntry(out, {u"", 0, kNoStream, 0, 0});
}

// ---------------------------------------------------------------------------
// Replacing the file

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

bool FailErrno(std::string* error, const char* what, int code) {
  const char* description = strerrordesc_np(code);  // never translated
  return Fail(error, std::string(what) + ": " + (description ? description : "unknown error"));
}

// Returns 0, or the errno of the failure.
int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t done = write(fd, bytes.data(), bytes.size());
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return errno;
    if (done == 0) return EIO;
    bytes = bytes.subspan(static_cast<std::size_t>(done));
  }
  return 0;
}

// A name beside `path` that no other writer of this process or another uses.
std::string TemporaryPathBeside(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

// Writes `pieces` one after the other into a fresh file beside `path` and
// renames it over `path`. The temporary file never outlives a failure.
bool ReplaceFile(const std::string& path, std::span<const std::span<const std::uint8_t>> pieces,
                 std::string* error) {
  const std::string temporary = TemporaryPathBeside(path);
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return FailErrno(error, "cannot create a file in the folder", errno);
  int code = 0;
  for (std::span<const std::uint8_t> piece : pieces) {
    if (code == 0) code = WriteAll(fd, piece);
  }
  if (code == 0 && fsync(fd) != 0) code = errno;
  if (close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    unlink(temporary.c_str());
    return FailErrno(error, "cannot write the workbook", code);
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    code = errno;
    unlink(temporary.c_str());
    return FailErrno(error, "cannot replace the earlier file", code);
  }
  return true;
}

}  // namespace

void WorkbookWriter::AddSheet(std::u16string_view name) {
  sheets_.push_back({std::u16string(name.substr(0, kSheetNameMaxChars)), {}});
}

bool WorkbookWriter::SetCell(int row, int column, std::u16string_view text) {
  if (sheets_.empty() || row < 0 || row >= kSheetMaxRows || column < 0 ||
      column >= kSheetMaxColumns) {
    return false;
  }
  if (text.size() > kCellMaxChars) {
    const bool splitsPair = text[kCellMaxChars - 1] >= 0xD800 && text[kCellMaxChars - 1] < 0xDC00;
    text = text.substr(0, splitsPair ? kCellMaxChars - 1 : kCellMaxChars);
  }
  const std::uint32_t string = text.empty() ? kNoString : InternString(text);
  sheets_.back().cells.push_back(
      {static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column), string});
  return true;
}

std::uint32_t WorkbookWriter::InternString(std::u16string_view text) {
  const auto [entry, added] =
      stringIndex_.try_emplace(std::u16string(text), static_cast<std::uint32_t>(strings_.size()));
  if (added) strings_.push_back(&entry->first);
  return entry->second;
}

bool WorkbookWriter::Save(const std::string& path, std::string* error) const {
  if (sheets_.empty()) return Fail(error, "the workbook has no sheet");

  std::vector<std::vector<CellRecord>> sheetCells;
  std::uint32_t references = 0;
  for (const Sheet& sheet : sheets_) {
    std::vector<CellRecord> cells;
    cells.reserve(sheet.cells.size());
    for (const Cell& cell : sheet.cells) cells.push_back({cell.row, cell.column, cell.string});
    sheetCells.push_back(OrderedCells(std::move(cells)));
    references += static_cast<std::uint32_t>(
        std::count_if(sheetCells.back().begin(), sheetCells.back().end(),
                      [](const CellRecord& cell) { return cell.string != kNoString; }));
  }

  ByteWriter stream;
  BiffWriter biff(stream);
  PutBof(biff, 0x0005);
  PutWorkbookSettings(biff);
  std::vector<std::size_t> sheetPositionFields;
  for (const Sheet& sheet : sheets_) sheetPositionFields.push_back(PutBoundSheet(biff, sheet.name));
  const std::size_t bucketSize = ExtSstBucketSize(strings_.size());
  PutExtSst(biff, bucketSize, PutSharedStrings(biff, strings_, references, bucketSize));
  PutEof(biff);
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    stream.PatchU32(sheetPositionFields[i], static_cast<std::uint32_t>(stream.Size()));
    PutWorksheet(biff, sheetCells[i], i == 0);
  }
  // A stream below the cutoff would belong in the mini stream.
  if (stream.Size() < kMiniStreamCutoff) stream.Zeros(kMiniStreamCutoff - stream.Size());
  if (stream.Size() > kMaxStreamSize) return Fail(error, "the workbook is too large for .xls");

  const CompoundLayout layout = PlanCompoundFile(stream.Size());
  ByteWriter head, tail;
  PutCompoundHeader(head, layout);
  const std::size_t streamSize = stream.Size();
  stream.Zeros(layout.streamSectors * kSectorSize - streamSize);
  PutFat(tail, layout);
  PutDifat(tail, layout);
  PutDirectory(tail, streamSize);
  const std::span<const std::uint8_t> pieces[] = {head.Bytes(), stream.Bytes(), tail.Bytes()};
  return ReplaceFile(path, pieces, error);
}

}  // namespace zv::app
