#!/usr/bin/python3
"""Reads an .xls file with readers independent of ours and prints what it holds.

Usage: read_xls.py FILE [ROWS]
ROWS: comma-separated 0-based row numbers to print cells of (negative ones
count from each sheet's end); all rows when left out.

Output, one item a line, texts as hex of their UTF-16LE units:
  streams NAME...                       the compound file's streams (olefile)
  log TEXTHEX                           a line the workbook reader complained with
  sheet INDEX NROWS NCOLS NAMEHEX
  cell SHEET ROW COL TYPE FORMATHEX VALUEHEX
  error MESSAGE                         reading failed
  end
"""
import io
import struct
import sys

import olefile
import xlrd

CELL_TYPES = {
    xlrd.XL_CELL_EMPTY: "empty",
    xlrd.XL_CELL_TEXT: "text",
    xlrd.XL_CELL_NUMBER: "number",
    xlrd.XL_CELL_DATE: "date",
    xlrd.XL_CELL_BOOLEAN: "boolean",
    xlrd.XL_CELL_ERROR: "error",
    xlrd.XL_CELL_BLANK: "blank",
}


def hexed(text):
    return (text or "").encode("utf-16-le", "surrogatepass").hex() or "-"


FREE, END_OF_CHAIN, FAT_SECTOR, DIFAT_SECTOR = 0xFFFFFFFF, 0xFFFFFFFE, 0xFFFFFFFD, 0xFFFFFFFC


def check_sector_accounting(data):
    """What olefile lets pass: the header's FAT and DIFAT counts, the marks of
    those sectors in the FAT, and a FAT entry for every sector of the file."""
    fat_count, = struct.unpack_from("<I", data, 44)
    difat_start, difat_count = struct.unpack_from("<II", data, 68)
    ids = list(struct.unpack_from("<109I", data, 76))
    difat_sectors = []
    sector = difat_start
    while sector != END_OF_CHAIN and len(difat_sectors) <= difat_count:
        difat_sectors.append(sector)
        entries = struct.unpack_from("<128I", data, 512 + sector * 512)
        ids.extend(entries[:127])
        sector = entries[127]
    if len(difat_sectors) != difat_count:
        raise ValueError("DIFAT chain has %d sectors, header says %d" % (len(difat_sectors), difat_count))
    fat_ids = [i for i in ids if i != FREE]
    if len(fat_ids) != fat_count:
        raise ValueError("%d FAT sectors listed, header says %d" % (len(fat_ids), fat_count))
    fat = []
    for sector in fat_ids:
        fat.extend(struct.unpack_from("<128I", data, 512 + sector * 512))
    sectors = (len(data) - 512) // 512
    if (len(data) - 512) % 512 or sectors > len(fat):
        raise ValueError("file size %d does not fit the FAT" % len(data))
    if any(fat[i] != FAT_SECTOR for i in fat_ids) or any(fat[i] != DIFAT_SECTOR for i in difat_sectors):
        raise ValueError("FAT or DIFAT sectors not marked as such")
    if fat.count(FAT_SECTOR) != fat_count or fat.count(DIFAT_SECTOR) != difat_count:
        raise ValueError("FAT marks more FAT or DIFAT sectors than the header lists")


def records(stream):
    position = 0
    while position + 4 <= len(stream):
        kind, size = struct.unpack_from("<HH", stream, position)
        yield position, kind, stream[position + 4:position + 4 + size]
        position += 4 + size


def check_record_sizes(stream):
    """BIFF8 records carry at most 8224 bytes; the rest goes in CONTINUE records."""
    for position, kind, body in records(stream):
        if len(body) > 8224:
            raise ValueError("record 0x%04X at %d carries %d bytes" % (kind, position, len(body)))


def check_string_splits(stream, shared_strings):
    """Walks SST and its CONTINUE records: a string's header and first character
    must share a record, and characters continued in the next record follow
    that record's option byte. The strings must be those xlrd found."""
    bodies = []
    for _, kind, body in records(stream):
        if kind == 0x00FC or (kind == 0x003C and bodies and bodies[-1] is not None):
            bodies.append(body)
        elif bodies and bodies[-1] is not None:
            bodies.append(None)  # the table has ended
    bodies = [body for body in bodies if body is not None]
    if not bodies:
        return
    record, offset = 0, 8
    for index, expected in enumerate(shared_strings):
        if offset == len(bodies[record]):
            record, offset = record + 1, 0
        body = bodies[record]
        length, options = struct.unpack_from("<HB", body, offset)
        if options & ~1:
            raise ValueError("string %d has options 0x%02X" % (index, options))
        char_size = 2 if options & 1 else 1
        if offset + 3 + (char_size if length else 0) > len(body):
            raise ValueError("string %d: header and first character split" % index)
        offset += 3
        units = bytearray()  # UTF-16LE, whatever the records held
        while len(units) < 2 * length:
            if offset == len(body):
                record += 1
                body = bodies[record]
                char_size = 2 if body[0] & 1 else 1
                offset = 1
            take = min(length - len(units) // 2, (len(body) - offset) // char_size)
            if take == 0:
                raise ValueError("string %d: a character split between records" % index)
            raw = body[offset:offset + take * char_size]
            units += raw if char_size == 2 else raw.decode("latin-1").encode("utf-16-le")
            offset += take * char_size
        if units.decode("utf-16-le", "surrogatepass") != expected:
            raise ValueError("string %d differs from the one xlrd read" % index)


def check_extsst(stream, shared_strings):
    """Each EXTSST entry must point at the start of its bucket's first string."""
    SST, CONTINUE, EXTSST = 0x00FC, 0x003C, 0x00FF
    record_starts = set()
    for position, kind, body in records(stream):
        if kind in (SST, CONTINUE):
            record_starts.add(position)
        if kind != EXTSST:
            continue
        bucket_size, = struct.unpack_from("<H", body, 0)
        entries = (len(body) - 2) // 8
        expected = (len(shared_strings) + bucket_size - 1) // bucket_size
        if bucket_size < 8 or entries != expected:
            raise ValueError("EXTSST has %d buckets of %d, expected %d" % (entries, bucket_size, expected))
        for k in range(entries):
            string_at, in_record = struct.unpack_from("<IH", body, 2 + 8 * k)
            text = shared_strings[k * bucket_size]
            length, options = struct.unpack_from("<HB", stream, string_at)
            first = stream[string_at + 3:string_at + 3 + (2 if options & 1 else 1)]
            first = first.decode("utf-16-le" if options & 1 else "latin-1")
            if string_at - in_record not in record_starts or length != len(text) or first != text[:1]:
                raise ValueError("EXTSST bucket %d does not point at string %d" % (k, k * bucket_size))


def check_container(path):
    # DEFECT_INCORRECT makes olefile raise on any structural fault it notices.
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    try:
        streams = ["/".join(entry) for entry in ole.listdir(streams=True, storages=True)]
        print("streams " + " ".join(streams))
        if ole.get_size("Workbook") < ole.minisectorcutoff:
            raise ValueError("Workbook stream belongs in the mini stream")
        return ole.openstream("Workbook").read()
    finally:
        ole.close()


def selected_rows(selection, nrows):
    if not selection:
        return range(nrows)
    rows = []
    for piece in selection.split(","):
        row = int(piece)
        row = row + nrows if row < 0 else row
        if 0 <= row < nrows and row not in rows:
            rows.append(row)
    return rows


def dump_workbook(path, stream, rows_spec):
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, on_demand=True, logfile=log)
    for line in log.getvalue().splitlines():
        print("log " + hexed(line))
    check_record_sizes(stream)
    check_string_splits(stream, book._sharedstrings)
    check_extsst(stream, book._sharedstrings)
    for index in range(book.nsheets):
        sheet = book.sheet_by_index(index)
        print("sheet %d %d %d %s" % (index, sheet.nrows, sheet.ncols, hexed(sheet.name)))
        for row in selected_rows(rows_spec, sheet.nrows):
            for col in range(sheet.ncols):
                cell = sheet.cell(row, col)
                xf = book.xf_list[cell.xf_index] if cell.xf_index is not None else None
                fmt = book.format_map[xf.format_key].format_str if xf else ""
                value = cell.value if cell.ctype == xlrd.XL_CELL_TEXT else str(cell.value)
                print("cell %d %d %d %s %s %s" % (index, row, col, CELL_TYPES[cell.ctype],
                                                  hexed(fmt), hexed(value)))


def main():
    path = sys.argv[1]
    rows_spec = sys.argv[2] if len(sys.argv) > 2 else ""
    try:
        with open(path, "rb") as file:
            check_sector_accounting(file.read())
        stream = check_container(path)
        dump_workbook(path, stream, rows_spec)
    except Exception as error:  # reported to the test, which fails on it
        print("error %s: %s" % (type(error).__name__, str(error).replace("\n", " ")))
    print("end")


if __name__ == "__main__":
    main()
