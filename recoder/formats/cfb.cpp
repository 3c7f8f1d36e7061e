// SPDX-License-Identifier: GPL-3.0-or-later
#include "cfb.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "read_bytes.h"
#include "utf.h"

namespace uy::formats::cfb {
namespace {

constexpr std::uint32_t kMaxRegular = 0xFFFFFFFA;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::uint32_t kDirEntrySize = 128;
constexpr std::uint32_t kMiniSectorSize = 64;

// The header: its fields' offsets and the values this reader takes.
constexpr std::uint64_t kHeaderMinSize = 512;
constexpr std::uint64_t kHeaderMajorVersion = 0x1A;
constexpr std::uint64_t kHeaderByteOrder = 0x1C;
constexpr std::uint64_t kHeaderSectorShift = 0x1E;
constexpr std::uint64_t kHeaderMiniSectorShift = 0x20;
constexpr std::uint64_t kHeaderFatCount = 0x2C;
constexpr std::uint64_t kHeaderDirectoryStart = 0x30;
constexpr std::uint64_t kHeaderMiniCutoff = 0x38;
constexpr std::uint64_t kHeaderMiniFatStart = 0x3C;
constexpr std::uint64_t kHeaderMiniFatCount = 0x40;
constexpr std::uint64_t kHeaderDifatStart = 0x44;
constexpr std::uint64_t kHeaderDifatSlots = 0x4C;  // the first FAT sector numbers
constexpr std::uint32_t kHeaderDifatSlotCount = 109;
constexpr std::uint16_t kByteOrderMark = 0xFFFE;
constexpr std::uint16_t kMiniSectorShift = 6;
constexpr std::uint32_t kMiniCutoff = 4096;
constexpr std::uint64_t kMaxVersion3Size = std::uint64_t{2} << 30;

// A directory entry: its fields' offsets and types.
constexpr std::uint64_t kEntryName = 0x00;  // UTF-16, at most 32 units with the terminator
constexpr std::uint32_t kEntryNameMaxBytes = 64;
constexpr std::uint64_t kEntryNameLength = 0x40;
constexpr std::uint64_t kEntryType = 0x42;
constexpr std::uint64_t kEntryLeft = 0x44;
constexpr std::uint64_t kEntryRight = 0x48;
constexpr std::uint64_t kEntryChild = 0x4C;
constexpr std::uint64_t kEntryStart = 0x74;
constexpr std::uint64_t kEntrySize = 0x78;
constexpr std::uint64_t kEntrySizeHigh = 0x7C;  // version 4 only
constexpr std::uint8_t kTypeEmpty = 0;
constexpr std::uint8_t kTypeStorage = 1;
constexpr std::uint8_t kTypeStream = 2;
constexpr std::uint8_t kTypeRoot = 5;

[[noreturn]] void Fail(const std::string& why) { throw DocumentError(why); }

struct DirEntry {
  std::u16string name;
  std::uint8_t type = 0;  // 1 storage, 2 stream, 5 root
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::uint32_t start = 0;
  std::uint64_t size = 0;
};

// Who holds a sector (or a mini sector): nobody, one of the container's structures, or
// the stream of a directory entry (kFirstEntry + its id).
enum Owner : std::uint32_t { kNobody, kFat, kDifat, kDirectory, kMiniFat, kMiniStream, kFirstEntry };

class Parser {
 public:
  explicit Parser(std::span<const std::uint8_t> file) : file_(file) {}

  // Each step reads one part of the container, in this order; every sector a step takes
  // is claimed for one owner, so that no two parts can share a sector.
  void Run(std::vector<Stream>& streams, std::vector<Extent>& structures) {
    ReadHeader();
    ReadFat();
    const std::vector<DirEntry> dir = ReadDirectory();
    const MiniStream mini = ReadMiniStream(dir[0]);
    streams = WalkTree(dir, mini);
    structures = std::move(structures_);
  }

 private:
  // The mini FAT and the mini stream (the root entry's stream) whose sectors it maps.
  struct MiniStream {
    std::vector<std::uint32_t> fat;
    std::vector<Extent> sectors;  // one extent per sector, for lookups by position
    std::uint64_t size = 0;
  };

  // The header: version and sector sizes; sets up the owners of the file's sectors.
  void ReadHeader() {
    if (file_.size() < kHeaderMinSize || std::memcmp(file_.data(), kSignature, 8) != 0)
      Fail("no compound file signature");
    const std::uint16_t major = Le16(file_, kHeaderMajorVersion);
    const std::uint16_t shift = Le16(file_, kHeaderSectorShift);
    if (Le16(file_, kHeaderByteOrder) != kByteOrderMark) Fail("unknown byte order mark");
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12)))
      Fail("unknown version or sector size");
    if (Le16(file_, kHeaderMiniSectorShift) != kMiniSectorShift) Fail("unknown mini sector size");
    ss_ = 1u << shift;
    cutoff_ = Le32(file_, kHeaderMiniCutoff);
    if (cutoff_ != kMiniCutoff) Fail("unknown mini stream cutoff");
    if (file_.size() < ss_) Fail("the file ends inside its header");
    // Every sector that begins inside the file (the last may be cut short) has one owner;
    // a sector claimed twice is damage, whether by one chain (a loop) or by two.
    owners_.assign((file_.size() - 1) / ss_, kNobody);
    structures_.push_back({0, ss_});  // the header (a whole sector in version 4)
  }

  void ReadFat() {
    // The FAT: its sector numbers come from the header's 109 slots, then the DIFAT chain.
    // It cannot have more sectors than the file.
    const std::uint32_t fat_count = Le32(file_, kHeaderFatCount);
    if (fat_count > owners_.size()) Fail("the header counts more FAT sectors than the file holds");
    std::vector<std::uint32_t> fat_sectors;
    for (std::uint32_t i = 0; i < kHeaderDifatSlotCount && fat_sectors.size() < fat_count; ++i)
      fat_sectors.push_back(Le32(file_, kHeaderDifatSlots + 4 * i));
    std::uint32_t difat = Le32(file_, kHeaderDifatStart);
    const std::uint32_t per_difat = ss_ / 4 - 1;
    while (fat_sectors.size() < fat_count) {
      NeedSector(difat, "DIFAT");
      Claim(owners_, difat, kDifat, "DIFAT chain");
      const std::uint64_t off = Offset(difat);
      structures_.push_back({off, ss_});
      for (std::uint32_t i = 0; i < per_difat && fat_sectors.size() < fat_count; ++i)
        fat_sectors.push_back(Le32(file_, off + 4 * i));
      difat = Le32(file_, off + 4 * per_difat);
    }
    fat_.reserve(static_cast<std::size_t>(fat_count) * (ss_ / 4));
    for (std::uint32_t s : fat_sectors) {
      NeedSector(s, "FAT");
      Claim(owners_, s, kFat, "FAT");
      const std::uint64_t off = Offset(s);
      structures_.push_back({off, ss_});
      for (std::uint32_t i = 0; i < ss_ / 4; ++i) fat_.push_back(Le32(file_, off + 4 * i));
    }
  }

  std::vector<DirEntry> ReadDirectory() {
    const std::vector<std::uint32_t> dir_chain = Chain(Le32(file_, kHeaderDirectoryStart), fat_, owners_, kDirectory, "directory chain");
    if (dir_chain.empty()) Fail("the directory is empty");
    std::vector<DirEntry> dir;
    dir.reserve(dir_chain.size() * (ss_ / kDirEntrySize));
    for (std::uint32_t s : dir_chain) {
      NeedSector(s, "directory");
      const std::uint64_t off = Offset(s);
      structures_.push_back({off, ss_});
      for (std::uint32_t e = 0; e < ss_ / kDirEntrySize; ++e) dir.push_back(Entry(off + e * kDirEntrySize));
    }
    if (dir[0].type != kTypeRoot) Fail("the first directory entry is not the root");
    return dir;
  }

  MiniStream ReadMiniStream(const DirEntry& root) {
    MiniStream mini;
    std::vector<std::uint32_t>& minifat = mini.fat;
    const std::uint32_t minifat_count = Le32(file_, kHeaderMiniFatCount);
    if (minifat_count > 0) {
      const std::vector<std::uint32_t> chain = Chain(Le32(file_, kHeaderMiniFatStart), fat_, owners_, kMiniFat, "mini FAT chain");
      minifat.reserve(chain.size() * (ss_ / 4));
      for (std::uint32_t s : chain) {
        NeedSector(s, "mini FAT");
        const std::uint64_t off = Offset(s);
        structures_.push_back({off, ss_});
        for (std::uint32_t i = 0; i < ss_ / 4; ++i) minifat.push_back(Le32(file_, off + 4 * i));
      }
    }
    if (root.size > 0) mini.sectors = Regular(root, kMiniStream, "mini stream", false);
    mini.size = root.size;
    return mini;
  }

  // Every stream reachable from the root, with its path, sorted by path.
  std::vector<Stream> WalkTree(const std::vector<DirEntry>& dir, const MiniStream& mini) {
    std::vector<Stream> streams;
    std::vector<std::uint32_t> mini_owners(mini.fat.size(), kNobody);
    // Every stream reachable from the root, with its path. The paths together may not
    // outgrow the file (a deep nest of storages would make their lengths quadratic).
    const std::uint64_t path_budget = 2 * static_cast<std::uint64_t>(file_.size());
    std::uint64_t path_bytes = 0;
    std::vector<bool> seen(dir.size(), false);
    struct Item {
      std::uint32_t id;
      std::string prefix;
    };
    std::vector<Item> todo;
    if (dir[0].child != kNoStream) todo.push_back({dir[0].child, ""});
    seen[0] = true;
    while (!todo.empty()) {
      const Item item = todo.back();
      todo.pop_back();
      if (item.id >= dir.size()) Fail("a directory link points outside the directory");
      if (seen[item.id]) Fail("the directory tree loops");
      seen[item.id] = true;
      const DirEntry& e = dir[item.id];
      if (e.left != kNoStream) todo.push_back({e.left, item.prefix});
      if (e.right != kNoStream) todo.push_back({e.right, item.prefix});
      const std::string path = item.prefix + ToUtf8(e.name);
      path_bytes += path.size();
      if (path_bytes > path_budget) Fail("the directory nests storages too deeply");
      const std::uint32_t owner = kFirstEntry + item.id;
      if (e.type == kTypeStorage) {
        if (e.child != kNoStream) todo.push_back({e.child, path + "/"});
      } else if (e.type == kTypeStream) {
        Stream s{path, e.size, e.start, e.size < cutoff_, {}};
        if (s.size == 0) {
          // no bytes
        } else if (s.mini) {
          s.extents = Mini(e, mini.fat, mini_owners, owner, "stream " + path, mini.sectors, mini.size);
        } else {
          s.extents = Regular(e, owner, "stream " + path, true);
        }
        streams.push_back(std::move(s));
      } else {
        Fail("a directory entry of unknown type is linked into the tree");
      }
    }
    std::sort(streams.begin(), streams.end(),
              [](const Stream& a, const Stream& b) { return a.path < b.path; });
    return streams;
  }

  std::uint64_t Offset(std::uint32_t sector) const {
    return (static_cast<std::uint64_t>(sector) + 1) * ss_;
  }
  void NeedSector(std::uint32_t sector, const char* what) const {
    if (sector > kMaxRegular || Offset(sector) + ss_ > file_.size())
      Fail(std::string("a ") + what + " sector lies outside the file");
  }

  static std::string OwnerName(std::uint32_t owner) {
    switch (owner) {
      case kFat: return "the FAT";
      case kDifat: return "the DIFAT";
      case kDirectory: return "the directory";
      case kMiniFat: return "the mini FAT";
      case kMiniStream: return "the mini stream";
      default: return "another stream";
    }
  }

  // Gives `sector` to `owner`; `what` names the chain or table for the messages.
  static void Claim(std::vector<std::uint32_t>& owners, std::uint32_t sector, std::uint32_t owner,
                    std::string_view what) {
    if (sector < owners.size() && owners[sector] == kNobody) {
      owners[sector] = owner;
      return;
    }
    const std::string the = "the " + std::string(what);
    if (sector >= owners.size()) Fail(the + " leaves the file");
    if (owners[sector] == owner) Fail(owner == kFat ? "the FAT lists a sector twice" : the + " loops");
    Fail(the + " shares sectors with " + OwnerName(owners[sector]));
  }

  DirEntry Entry(std::uint64_t off) const {
    DirEntry e;
    const std::uint16_t name_bytes = Le16(file_, off + kEntryNameLength);
    e.type = file_[off + kEntryType];
    if (e.type == kTypeEmpty) return e;
    if (name_bytes < 2 || name_bytes > kEntryNameMaxBytes || name_bytes % 2) Fail("a directory entry has a bad name length");
    for (std::uint32_t i = 0; i + 2 < name_bytes; i += 2) e.name.push_back(static_cast<char16_t>(Le16(file_, off + kEntryName + i)));
    e.left = Le32(file_, off + kEntryLeft);
    e.right = Le32(file_, off + kEntryRight);
    e.child = Le32(file_, off + kEntryChild);
    e.start = Le32(file_, off + kEntryStart);
    e.size = Le32(file_, off + kEntrySize);
    if (ss_ == 4096) e.size |= static_cast<std::uint64_t>(Le32(file_, off + kEntrySizeHigh)) << 32;
    return e;
  }

  // Follows a chain through `table` from `start` to its end mark, or for at most `limit`
  // sectors, claiming each for `owner`.
  static std::vector<std::uint32_t> Chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                          std::vector<std::uint32_t>& owners, std::uint32_t owner,
                                          std::string_view what, std::uint64_t limit = UINT64_MAX) {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t s = start; s != kEndOfChain && chain.size() < limit;) {
      if (s >= table.size() || s > kMaxRegular) Fail("the " + std::string(what) + " is broken");
      Claim(owners, s, owner, what);
      chain.push_back(s);
      s = table[s];
    }
    return chain;
  }

  std::vector<Extent> Regular(const DirEntry& e, std::uint32_t owner, const std::string& what, bool merge) {
    const std::uint64_t need = e.size / ss_ + (e.size % ss_ != 0);
    if (need > owners_.size()) Fail("the size of the " + what + " exceeds the file");
    const std::vector<std::uint32_t> chain = Chain(e.start, fat_, owners_, owner, "chain of the " + what, need);
    if (chain.size() < need) Fail("the chain of the " + what + " is shorter than its size");
    std::vector<Extent> extents;
    std::uint64_t left = e.size;
    for (std::uint32_t s : chain) {
      const std::uint64_t n = std::min<std::uint64_t>(ss_, left);
      if (Offset(s) + n > file_.size()) Fail("the data of the " + what + " lies outside the file");
      if (merge)
        Append(extents, {Offset(s), n});
      else
        extents.push_back({Offset(s), n});
      left -= n;
    }
    return extents;
  }

  std::vector<Extent> Mini(const DirEntry& e, const std::vector<std::uint32_t>& minifat,
                           std::vector<std::uint32_t>& mini_owners, std::uint32_t owner, const std::string& what,
                           const std::vector<Extent>& ministream, std::uint64_t ministream_size) const {
    const std::uint64_t need = (e.size + kMiniSectorSize - 1) / kMiniSectorSize;
    const std::vector<std::uint32_t> chain = Chain(e.start, minifat, mini_owners, owner, "mini chain of the " + what, need);
    if (chain.size() < need) Fail("the mini chain of the " + what + " is shorter than its size");
    std::vector<Extent> extents;
    std::uint64_t left = e.size;
    for (std::uint32_t m : chain) {
      const std::uint64_t pos = static_cast<std::uint64_t>(m) * kMiniSectorSize;  // in the mini stream
      const std::uint64_t n = std::min<std::uint64_t>(kMiniSectorSize, left);
      if (pos + n > ministream_size || pos / ss_ >= ministream.size())
        Fail("a mini sector lies outside the mini stream");
      // Mini sectors never straddle a sector (the sector size is a multiple of 64).
      const Extent& host = ministream[pos / ss_];
      Append(extents, {host.offset + pos % ss_, n});
      left -= n;
    }
    return extents;
  }

  static void Append(std::vector<Extent>& extents, Extent x) {
    if (!extents.empty() && extents.back().offset + extents.back().length == x.offset)
      extents.back().length += x.length;
    else
      extents.push_back(x);
  }

  std::span<const std::uint8_t> file_;
  std::uint32_t ss_ = 512;
  std::uint32_t cutoff_ = 4096;
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> owners_;  // of each sector of the file
  std::vector<Extent> structures_;     // the container's own sectors
};

}  // namespace

void CheckFileSize(std::span<const std::uint8_t> head, std::uint64_t size) {
  if (head.size() >= 32 && Le16(head, kHeaderMajorVersion) == 3 && size > kMaxVersion3Size)
    Fail("a version 3 compound file cannot be larger than 2 GiB");
  if (size > kMaxFileSize) Fail("compound files larger than 4 GiB are not supported");
}

CompoundFile CompoundFile::Parse(std::span<const std::uint8_t> file) {
  CompoundFile cf;
  Parser(file).Run(cf.streams_, cf.structures_);
  return cf;
}

const Stream* CompoundFile::Find(std::string_view path) const {
  for (const Stream& s : streams_)
    if (s.path == path) return &s;
  return nullptr;
}

std::vector<std::uint8_t> CompoundFile::Read(std::span<const std::uint8_t> file, const Stream& s) {
  std::vector<std::uint8_t> data;
  data.reserve(s.size);
  for (const Extent& x : s.extents)
    data.insert(data.end(), file.begin() + x.offset, file.begin() + x.offset + x.length);
  return data;
}

void CompoundFile::Write(std::span<std::uint8_t> file, const Stream& s,
                         std::span<const std::uint8_t> data) {
  std::uint64_t pos = 0;
  for (const Extent& x : s.extents) {
    std::memcpy(file.data() + x.offset, data.data() + pos, x.length);
    pos += x.length;
  }
}

}  // namespace uy::formats::cfb
