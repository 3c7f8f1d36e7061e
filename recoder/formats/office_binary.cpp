// SPDX-License-Identifier: GPL-3.0-or-later
#include "office_binary.h"

#include <algorithm>
#include <string>

#include "read_bytes.h"

namespace uy::formats {
namespace {



// The data of one record and the CONTINUE records after it, read as one sequence whose
// pieces are separate runs of the stream.
class Segments {
 public:
  struct Piece {
    std::uint64_t offset;  // in the stream
    std::uint64_t length;
  };
  explicit Segments(std::span<const std::uint8_t> stream) : s_(stream) {}
  void Add(Piece p) { pieces_.push_back(p); }

  bool AtPieceEnd() const { return pos_ == pieces_[index_].length; }
  bool AtEnd() const { return index_ + 1 >= pieces_.size() && AtPieceEnd(); }
  // Moves to the start of the next piece; false when there is none.
  bool NextPiece() {
    if (index_ + 1 >= pieces_.size()) return false;
    ++index_;
    pos_ = 0;
    return true;
  }
  std::uint64_t Left() const { return pieces_[index_].length - pos_; }
  std::uint64_t Here() const { return pieces_[index_].offset + pos_; }
  std::uint8_t Byte() {
    if (AtPieceEnd()) throw DocumentError("a string runs past its record");
    const std::uint8_t b = s_[Here()];
    ++pos_;
    return b;
  }
  std::uint64_t Take(int bytes) {  // little-endian, within the current piece
    if (Left() < static_cast<std::uint64_t>(bytes)) throw DocumentError("a string header is split");
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(s_[Here() + i]) << (8 * i);
    pos_ += bytes;
    return v;
  }
  // Skips bytes that may run on into the next pieces (formatting runs, phonetic data).
  void Skip(std::uint64_t n) {
    while (n > 0) {
      if (AtPieceEnd() && !NextPiece()) throw DocumentError("a string runs past its records");
      const std::uint64_t k = std::min(n, Left());
      pos_ += k;
      n -= k;
    }
  }
  void Advance(std::uint64_t n) { pos_ += n; }

 private:
  std::span<const std::uint8_t> s_;
  std::vector<Piece> pieces_;
  std::size_t index_ = 0;
  std::uint64_t pos_ = 0;
};

// One unicode string of a spreadsheet: count, option flags, [runs], [phonetic size],
// characters (continued with a fresh flag byte in each CONTINUE), [runs], [phonetic].
void ReadXlString(Segments& seg, std::uint64_t count, std::vector<UnitRange>& out, bool continued) {
  std::uint8_t flags = seg.Byte();
  std::uint64_t runs = 0, phonetic = 0;
  if (flags & 0x08) runs = seg.Take(2);
  if (flags & 0x04) phonetic = seg.Take(4);
  std::uint64_t left = count;
  while (true) {
    const bool wide = flags & 0x01;
    const std::uint64_t fit = wide ? seg.Left() / 2 : seg.Left();
    const std::uint64_t n = std::min(left, fit);
    if (wide && n > 0) out.push_back({seg.Here(), n});
    seg.Advance(wide ? 2 * n : n);
    left -= n;
    if (left == 0) break;
    if (!continued || !seg.NextPiece()) throw DocumentError("a string runs past its record");
    flags = seg.Byte();  // the characters go on, possibly in the other width
  }
  seg.Skip(4 * runs + phonetic);
}

}  // namespace

void KeepEachByteOnce(std::vector<UnitRange>& ranges) {
  std::sort(ranges.begin(), ranges.end(), [](const UnitRange& a, const UnitRange& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.count > b.count;
  });
  std::uint64_t covered = 0;  // bytes before this belong to a kept range
  std::size_t kept = 0;
  for (UnitRange r : ranges) {
    const std::uint64_t end = r.offset + 2 * r.count;
    if (end <= covered) continue;
    if (r.offset < covered) {
      const std::uint64_t skip = (covered - r.offset + 1) / 2;
      r.offset += 2 * skip;
      r.count -= skip;
      if (r.count == 0) continue;
    }
    ranges[kept++] = r;
    covered = end;
  }
  ranges.resize(kept);
}

namespace {

// Records holding one string at a fixed place: its character count takes `count_bytes`.
// One shorter than `min_length` is damage when it has a message, otherwise passed over.
struct StringRecord {
  std::uint16_t type;
  std::uint16_t min_length;
  std::uint16_t string_offset;
  int count_bytes;
  const char* short_message;
};
constexpr StringRecord kStringRecords[] = {
    {0x0204, 9, 6, 2, "a label is cut short"},         // LABEL: row, column, format, string
    {0x0207, 3, 0, 2, nullptr},                        // STRING: a formula's string result
    {0x0085, 8, 6, 1, "a sheet record is cut short"},  // BOUNDSHEET: position, state, kind, name
    {0x001C, 11, 8, 2, nullptr},                       // NOTE: row, column, options, object id, author
    {0x100D, 4, 2, 1, nullptr},                        // SERIESTEXT: a chart's title or series name
    {0x0014, 3, 0, 2, nullptr},                        // HEADER
    {0x0015, 3, 0, 2, nullptr},                        // FOOTER
};

// Adds the data of the CONTINUE records from `next` on to `seg`; returns where the
// record after them starts.
std::uint64_t GatherContinues(std::span<const std::uint8_t> wb, std::uint64_t next, Segments& seg) {
  while (next + 4 <= wb.size() && Le16(wb, next) == 0x003C) {
    const std::uint16_t clen = Le16(wb, next + 2);
    if (next + 4 + clen > wb.size()) throw DocumentError("a record runs past the end of the workbook");
    seg.Add({next + 4, clen});
    next += 4 + clen;
  }
  return next;
}

// The strings of a shared string table (SST) record and its CONTINUE records; returns where
// the record after them starts.
std::uint64_t SharedStrings(std::span<const std::uint8_t> wb, std::uint64_t data, std::uint16_t len,
                            std::vector<UnitRange>& out) {
  Segments seg(wb);
  seg.Add({data, len});
  const std::uint64_t next = GatherContinues(wb, data + len, seg);
  if (len < 8) throw DocumentError("a shared string table is cut short");
  const std::uint32_t unique = Le32(wb, data + 4);
  seg.Advance(8);
  for (std::uint32_t i = 0; i < unique; ++i) {
    if (seg.AtPieceEnd() && !seg.NextPiece()) break;  // fewer strings than announced
    const std::uint64_t count = seg.Take(2);
    ReadXlString(seg, count, out, true);
  }
  return next;
}

// A text box or comment (TXO): its text is in the CONTINUE records after it. Returns where
// the record after them starts.
std::uint64_t TextObject(std::span<const std::uint8_t> wb, std::uint64_t data, std::uint16_t len,
                         std::vector<UnitRange>& out) {
  if (len < 14) throw DocumentError("a text object is cut short");
  const std::uint16_t count = Le16(wb, data + 10);
  Segments seg(wb);
  const std::uint64_t next = GatherContinues(wb, data + len, seg);
  if (count == 0) return next;
  seg.Add({next, 0});  // keeps the reader valid when no CONTINUE follows
  // Each CONTINUE holding characters starts with their width, like a continued string.
  std::uint64_t left = count;
  while (left > 0) {
    const std::uint8_t flags = seg.Byte();
    const bool wide = flags & 0x01;
    const std::uint64_t n = std::min(left, wide ? seg.Left() / 2 : seg.Left());
    if (n == 0) throw DocumentError("a text object's text is cut short");
    if (wide) out.push_back({seg.Here(), n});
    seg.Advance(wide ? 2 * n : n);
    left -= n;
    if (left > 0 && !seg.NextPiece()) throw DocumentError("a text object's text is cut short");
  }
  return next;
}

// A record holding one string at a fixed place (kStringRecords), when `type` is one.
void SingleString(std::span<const std::uint8_t> wb, std::uint16_t type, std::uint64_t data, std::uint16_t len,
                  std::vector<UnitRange>& out) {
  for (const StringRecord& r : kStringRecords) {
    if (r.type != type) continue;
    if (len < r.min_length) {
      if (r.short_message) throw DocumentError(r.short_message);
      continue;
    }
    const std::uint64_t at = data + r.string_offset;
    Segments seg(wb);
    seg.Add({at, data + len - at});
    const std::uint64_t count = seg.Take(r.count_bytes);
    ReadXlString(seg, count, out, false);
  }
}

}  // namespace

std::vector<UnitRange> WorkbookText(std::span<const std::uint8_t> wb) {
  std::vector<UnitRange> out;
  std::uint64_t pos = 0;
  bool first = true;
  while (pos + 4 <= wb.size()) {
    const std::uint16_t type = Le16(wb, pos);
    const std::uint16_t len = Le16(wb, pos + 2);
    const std::uint64_t data = pos + 4;
    if (data + len > wb.size()) throw DocumentError("a record runs past the end of the workbook");
    if (first) {
      if (type != 0x0809 || len < 4 || Le16(wb, data) != 0x0600)
        throw DocumentError("not a BIFF8 workbook");
      first = false;
    }
    switch (type) {
      case 0x002F:  // FILEPASS
        throw DocumentError("the workbook is encrypted", DocumentError::Cause::kEncrypted);
      case 0x00FC:  // SST
        pos = SharedStrings(wb, data, len, out);
        break;
      case 0x01B6:  // TXO
        pos = TextObject(wb, data, len, out);
        break;
      default:
        SingleString(wb, type, data, len, out);
        pos = data + len;
        break;
    }
  }
  if (first) throw DocumentError("not a BIFF8 workbook");
  return out;
}

const char* TableStreamName(std::span<const std::uint8_t> wd) {
  if (wd.size() < 34 || Le16(wd, 0) != 0xA5EC) throw DocumentError("no word-processor file information block");
  const std::uint16_t flags = Le16(wd, 0x0A);
  if (flags & 0x0100) throw DocumentError("the document is encrypted", DocumentError::Cause::kEncrypted);
  if (Le16(wd, 2) < 0x00C1) throw DocumentError("a word-processor format older than 97");
  return (flags & 0x0200) ? "1Table" : "0Table";
}

std::vector<UnitRange> WordText(std::span<const std::uint8_t> wd, std::span<const std::uint8_t> table) {
  TableStreamName(wd);
  // The block: 32 fixed bytes, then counted arrays of 16-bit, 32-bit and 64-bit fields.
  std::uint64_t at = 32;
  const std::uint16_t csw = Le16(wd, at);
  at += 2 + 2ull * csw;
  const std::uint16_t cslw = Le16(wd, at);
  at += 2 + 4ull * cslw;
  const std::uint16_t pairs = Le16(wd, at);
  at += 2;
  if (pairs < 34) throw DocumentError("the file information block has no piece table entry");
  const std::uint32_t fc_clx = Le32(wd, at + 33 * 8);
  const std::uint32_t lcb_clx = Le32(wd, at + 33 * 8 + 4);
  if (static_cast<std::uint64_t>(fc_clx) + lcb_clx > table.size()) throw DocumentError("the piece table lies outside the table stream");

  std::vector<UnitRange> out;
  std::uint64_t p = fc_clx;
  const std::uint64_t end = static_cast<std::uint64_t>(fc_clx) + lcb_clx;
  while (p < end) {
    const std::uint8_t kind = table[p];
    if (kind == 0x01) {  // property modifiers: skip
      p += 3 + Le16(table, p + 1);
    } else if (kind == 0x02) {  // the piece table
      const std::uint32_t lcb = Le32(table, p + 1);
      const std::uint64_t plc = p + 5;
      if (plc + lcb > end || lcb < 4 || (lcb - 4) % 12) throw DocumentError("a bad piece table");
      const std::uint64_t n = (lcb - 4) / 12;
      for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint32_t cp0 = Le32(table, plc + 4 * i);
        const std::uint32_t cp1 = Le32(table, plc + 4 * (i + 1));
        if (cp1 < cp0) throw DocumentError("a bad piece table");
        const std::uint32_t fc = Le32(table, plc + 4 * (n + 1) + 8 * i + 2);
        if (fc & 0x40000000) continue;  // 8-bit characters: no Arabic units
        const std::uint64_t count = cp1 - cp0;
        if (fc + 2 * count > wd.size()) throw DocumentError("a text piece lies outside the document stream");
        if (count > 0) out.push_back({fc, count});
      }
      return out;
    } else {
      throw DocumentError("a bad piece table");
    }
  }
  throw DocumentError("no piece table");
}

std::vector<UnitRange> PresentationText(std::span<const std::uint8_t> doc) {
  std::vector<UnitRange> out;
  std::uint64_t pos = 0;
  // Records: version/instance, type, length; containers (version 0xF) hold records.
  while (pos + 8 <= doc.size()) {
    const std::uint16_t ver = Le16(doc, pos) & 0x000F;
    const std::uint16_t type = Le16(doc, pos + 2);
    const std::uint32_t len = Le32(doc, pos + 4);
    if (pos + 8 + len > doc.size()) throw DocumentError("a record runs past the end of the presentation");
    if (type == 0x2F14) throw DocumentError("the presentation is encrypted", DocumentError::Cause::kEncrypted);
    if (ver == 0xF) {
      pos += 8;
      continue;
    }
    // TextCharsAtom and CString hold 16-bit characters.
    if ((type == 0x0FA0 || type == 0x0FBA) && len >= 2) out.push_back({pos + 8, len / 2});
    pos += 8 + len;
  }
  if (pos != doc.size()) throw DocumentError("the presentation ends inside a record header");
  return out;
}

void RefuseEncrypted(const cfb::CompoundFile& file, std::span<const std::uint8_t> bytes) {
  if (file.Find("EncryptedPackage") || file.Find("EncryptionInfo"))
    throw DocumentError("the document is encrypted", DocumentError::Cause::kEncrypted);
  if (const cfb::Stream* user = file.Find("Current User")) {
    const auto data = cfb::CompoundFile::Read(bytes, *user);
    if (data.size() >= 16 && Le32(data, 12) == 0xF3D1C4DFu) throw DocumentError("the presentation is encrypted", DocumentError::Cause::kEncrypted);
  }
}

namespace {

StreamText ReadStream(std::span<const std::uint8_t> bytes, const cfb::Stream& stream) {
  return {&stream, cfb::CompoundFile::Read(bytes, stream), {}};
}

// Parses one document's text; a failure names the document kind and what went wrong.
template <typename Parse>
void ParseText(StreamText& text, const char* what, Parse parse) {
  try {
    text.ranges = parse(text.data);
  } catch (const DocumentError& e) {
    if (e.encrypted()) throw;
    throw DocumentError(std::string("the ") + what + " is damaged: " + e.what());
  }
}

}  // namespace

CompoundText ReadCompoundText(std::span<const std::uint8_t> bytes, const cfb::CompoundFile& cf) {
  CompoundText out;
  if (const cfb::Stream* wb = cf.Find("Workbook")) {
    out.kind = CompoundText::Kind::kWorkbook;
    StreamText t = ReadStream(bytes, *wb);
    ParseText(t, "workbook's record structure", [](const auto& d) { return WorkbookText(d); });
    out.read = wb->size;
    out.streams.push_back(std::move(t));
  } else if (const cfb::Stream* book = cf.Find("Book")) {
    // An older (BIFF5) workbook: its strings are 8-bit, so no unit of it is text.
    out.kind = CompoundText::Kind::kOldWorkbook;
    const auto data = cfb::CompoundFile::Read(bytes, *book);
    if (data.size() < 6 || data[0] != 0x09 || data[1] != 0x08 || data[4] != 0x00 || data[5] != 0x05)
      throw DocumentError("the workbook's stream Book does not start with a workbook record");
  } else if (const cfb::Stream* wd = cf.Find("WordDocument")) {
    out.kind = CompoundText::Kind::kWordDocument;
    StreamText t = ReadStream(bytes, *wd);
    const char* table_name = nullptr;
    ParseText(t, "document's file information block", [&](const auto& d) {
      table_name = TableStreamName(d);
      return std::vector<UnitRange>{};
    });
    const cfb::Stream* table = cf.Find(table_name);
    if (!table) throw DocumentError(std::string("the document's table stream ") + table_name + " is missing");
    const auto table_data = cfb::CompoundFile::Read(bytes, *table);
    ParseText(t, "document's piece table", [&](const auto& d) { return WordText(d, table_data); });
    out.read = wd->size + table->size;
    out.streams.push_back(std::move(t));
  } else if (const cfb::Stream* pp = cf.Find("PowerPoint Document")) {
    out.kind = CompoundText::Kind::kPresentation;
    StreamText t = ReadStream(bytes, *pp);
    ParseText(t, "presentation's record structure", [](const auto& d) { return PresentationText(d); });
    out.read = pp->size;
    out.streams.push_back(std::move(t));
  }
  return out;
}

}  // namespace uy::formats
