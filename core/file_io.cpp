// SPDX-License-Identifier: GPL-3.0-or-later
#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "signals.h"

namespace uy {
namespace fs = std::filesystem;

namespace {

std::string KindVerb(FileError::Kind kind) {
  switch (kind) {
    case FileError::Kind::Read: return "cannot read";
    case FileError::Kind::Create: return "cannot create";
    case FileError::Kind::Write: return "cannot write";
    case FileError::Kind::Exists: return "will not replace";
  }
  return "cannot use";
}

[[noreturn]] void Fail(FileError::Kind kind, const fs::path& path, int err) {
  throw FileError(kind, path, ErrnoText(err));
}

// The bytes a file holds, read through and rewound. Throws FileError; closes `fd` first.
std::uint64_t CountBytes(int fd, const fs::path& path) {
  constexpr std::uint64_t kMax = std::uint64_t{1} << 30;  // a pseudo-file that never ends
  std::vector<char> buf(std::size_t{1} << 16);
  std::uint64_t total = 0;
  int err = 0;
  for (;;) {
    const ssize_t r = ::read(fd, buf.data(), buf.size());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN) err = errno;
    if (r <= 0) break;
    total += static_cast<std::uint64_t>(r);
    if (total > kMax) {
      ::close(fd);
      throw FileError(FileError::Kind::Read, path, "it says it is empty but does not end");
    }
  }
  if (err == 0 && ::lseek(fd, 0, SEEK_SET) != 0) err = errno;
  if (err != 0) {
    ::close(fd);
    Fail(FileError::Kind::Read, path, err);
  }
  return total;
}

}  // namespace

FileError::FileError(Kind kind, fs::path path, std::string reason)
    : std::runtime_error(KindVerb(kind) + " " + path.string() + ": " + reason),
      kind_(kind), path_(std::move(path)), reason_(std::move(reason)) {}

std::string ErrnoText(int err) { return std::strerror(err); }

InputFile::InputFile(const fs::path& path) : path_(path) {
  // Refuse what is not a regular file before opening it (opening a pipe waits for a
  // writer, opening a device may act on it), and again on what was opened, in case the
  // name changed in between; O_NONBLOCK keeps even that open from waiting.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) Fail(FileError::Kind::Read, path, errno);
  auto refuse_unless_regular = [&](const struct stat& s) {
    if (S_ISREG(s.st_mode)) return;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    throw FileError(FileError::Kind::Read, path,
                    S_ISDIR(s.st_mode) ? "it is a folder" : "not a regular file");
  };
  refuse_unless_regular(st);
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) Fail(FileError::Kind::Read, path, errno);
  if (::fstat(fd_, &st) != 0) {
    const int err = errno;
    ::close(fd_);
    fd_ = -1;
    Fail(FileError::Kind::Read, path, err);
  }
  refuse_unless_regular(st);
  size_ = static_cast<std::uint64_t>(st.st_size);
  // Files made up by the system (/proc, /sys) say 0 whatever they hold: count their bytes,
  // without waiting for more (the descriptor is still non-blocking).
  if (size_ == 0) size_ = CountBytes(fd_, path);
  if (::fcntl(fd_, F_SETFL, 0) != 0) {
    const int err = errno;
    ::close(fd_);
    fd_ = -1;
    Fail(FileError::Kind::Read, path, err);
  }
  permissions_ = st.st_mode & 0777;
}

InputFile::~InputFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t InputFile::Read(void* buf, std::size_t n) {
  auto* p = static_cast<char*>(buf);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd_, p + got, n - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      Fail(FileError::Kind::Read, path_, errno);
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return got;
}

std::string ReadWholeFile(const fs::path& path) {
  InputFile in(path);
  std::string data;
  data.resize(static_cast<std::size_t>(in.size()));
  data.resize(in.Read(data.data(), data.size()));
  // The file may have grown since fstat: read the rest too.
  char buf[65536];
  for (std::size_t n; (n = in.Read(buf, sizeof buf)) > 0;) data.append(buf, n);
  return data;
}

bool detail::use_unnamed_temporary_files = true;

namespace {

// The file a path finally names: symbolic links followed, also a last one that points
// to a file not yet there (a link's target is created, not the link replaced).
fs::path FollowLinks(const fs::path& target) {
  fs::path p = target;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::error_code ec;
    const fs::path link = fs::read_symlink(p, ec);
    if (ec) Fail(FileError::Kind::Create, target, ec.value());
    p = link.is_absolute() ? link : p.parent_path() / link;
  }
  Fail(FileError::Kind::Create, target, ELOOP);
}

// A fresh hidden name beside the target, of bounded length whatever the target's name:
// "." + at most 32 bytes of the name (whole characters) + ".xxxxxxxx.tmp".
fs::path TemporaryName(const fs::path& dir, const std::string& name) {
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  static constexpr std::size_t kKeep = 32;
  std::size_t keep = std::min(name.size(), kKeep);
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  thread_local std::mt19937 rng{std::random_device{}()};
  std::string temp = "." + name.substr(0, keep) + ".";
  for (int i = 0; i < 8; ++i) temp += kDigits[rng() % 36];
  return dir / (temp + ".tmp");
}

thread_local bool no_replace_on_thread = false;

fs::path FolderOf(const fs::path& file) {
  fs::path dir = file.parent_path();
  return dir.empty() ? fs::path(".") : dir;
}

}  // namespace

NoReplaceScope::NoReplaceScope() : outer_(no_replace_on_thread) { no_replace_on_thread = true; }
NoReplaceScope::~NoReplaceScope() { no_replace_on_thread = outer_; }

AtomicFileWriter::AtomicFileWriter(fs::path target, unsigned new_file_mode)
    : target_(std::move(target)), no_replace_(no_replace_on_thread) {
  final_ = FollowLinks(target_);
  struct stat st {};
  const bool replacing = ::stat(final_.c_str(), &st) == 0;
  if (replacing) {
    if (S_ISDIR(st.st_mode)) throw FileError(FileError::Kind::Create, target_, "a folder has that name");
    if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::Create, target_, "not a regular file");
    mode_ = st.st_mode & 07777;
  }
  // A new file is created with the mode asked for, which the umask (or the folder's
  // default access list) narrows; a replaced file's own bits are set at Commit().
  const mode_t create_mode = replacing ? 0600 : (new_file_mode & 0777);
  const fs::path dir = FolderOf(final_);
  // Unnamed first: a killed process leaves nothing. Its bytes are reachable by path
  // through /proc until Commit().
  if (detail::use_unnamed_temporary_files && ::access("/proc/self/fd", X_OK) == 0) {
    fd_ = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, create_mode);
    if (fd_ >= 0) {
      unnamed_ = true;
      temp_ = "/proc/self/fd/" + std::to_string(fd_);
    } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      Fail(FileError::Kind::Create, target_, errno);
    }
  }
  if (fd_ < 0) {
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
      named_ = TemporaryName(dir, final_.filename().string());
      signal_slot_ = RegisterTemporaryFile(fs::absolute(named_).c_str());
      fd_ = ::open(named_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
      if (fd_ >= 0) break;
      const int err = errno;
      ForgetName(false);
      if (err != EEXIST) Fail(FileError::Kind::Create, target_, err);
    }
    if (fd_ < 0) throw FileError(FileError::Kind::Create, target_, "no free temporary name");
    temp_ = named_;
  }
  if (::fstat(fd_, &st) == 0) {
    if (!replacing) mode_ = st.st_mode & 0777;
    // The owner reads and writes while the file is written, whatever its final bits.
    if ((st.st_mode & 0600) != 0600) (void)::fchmod(fd_, (st.st_mode & 0777) | 0600);
  }
}

AtomicFileWriter::~AtomicFileWriter() { Discard(); }

void AtomicFileWriter::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::write(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      Fail(FileError::Kind::Write, target_, errno);
    }
    if (w == 0) Fail(FileError::Kind::Write, target_, ENOSPC);
    p += w;
    n -= static_cast<std::size_t>(w);
  }
}

void AtomicFileWriter::Commit() {
  // The final bits are set after the last write (a write drops set-user-ID bits).
  if (::fchmod(fd_, mode_) != 0) Fail(FileError::Kind::Write, target_, errno);
  if (::fsync(fd_) != 0) Fail(FileError::Kind::Write, target_, errno);
  const fs::path dir = FolderOf(final_);
  if (unnamed_ && no_replace_) {
    PlaceUnnamedNoReplace();
  } else {
    if (unnamed_) NameTemporaryLink(dir);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
      const int err = errno;
      Discard();
      Fail(FileError::Kind::Write, target_, err);
    }
    PlaceNamed();
  }
  ForgetName(false);
  done_ = true;
  // Make the naming itself durable; a failure here loses nothing already in place.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
}

// A link cannot replace a file: the complete unnamed file gets a fresh hidden name first,
// which is then renamed over the target at once.
void AtomicFileWriter::NameTemporaryLink(const fs::path& dir) {
  for (int attempt = 0; attempt < 100 && named_.empty(); ++attempt) {
    named_ = TemporaryName(dir, final_.filename().string());
    signal_slot_ = RegisterTemporaryFile(fs::absolute(named_).c_str());
    if (::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, named_.c_str(), AT_SYMLINK_FOLLOW) == 0) return;
    const int err = errno;
    ForgetName(false);
    if (err != EEXIST) Fail(FileError::Kind::Create, target_, err);
  }
  throw FileError(FileError::Kind::Create, target_, "no free temporary name");
}

// The named temporary file becomes the target: renamed over it, or, where nothing may be
// replaced, renamed only if the name is free (linked and unlinked where the file system
// cannot rename that way).
void AtomicFileWriter::PlaceNamed() {
  int rc = 0;
  if (!no_replace_) {
    rc = ::rename(named_.c_str(), final_.c_str());
  } else {
    rc = ::renameat2(AT_FDCWD, named_.c_str(), AT_FDCWD, final_.c_str(), RENAME_NOREPLACE);
    if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
      rc = ::link(named_.c_str(), final_.c_str());
      if (rc == 0) ::unlink(named_.c_str());
    }
  }
  if (rc != 0) {
    const int err = errno;
    Discard();
    if (err == EEXIST) throw FileError(FileError::Kind::Exists, target_, "it exists already");
    Fail(FileError::Kind::Create, target_, err);
  }
}

// The unnamed file is linked under the target's name, which fails if the name is taken.
void AtomicFileWriter::PlaceUnnamedNoReplace() {
  const int rc = ::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, final_.c_str(), AT_SYMLINK_FOLLOW);
  const int err = errno;
  const int fd = fd_;
  fd_ = -1;
  const int close_rc = ::close(fd);
  const int close_err = errno;
  if (rc != 0) {
    Discard();
    if (err == EEXIST) throw FileError(FileError::Kind::Exists, target_, "it exists already");
    Fail(FileError::Kind::Create, target_, err);
  }
  if (close_rc != 0) {
    // The name is already there: take it back, it may be incomplete.
    ::unlink(final_.c_str());
    Discard();
    Fail(FileError::Kind::Write, target_, close_err);
  }
}

void AtomicFileWriter::ForgetName(bool remove) noexcept {
  if (remove && !named_.empty()) ::unlink(named_.c_str());
  UnregisterTemporaryFile(signal_slot_);
  signal_slot_ = -1;
  named_.clear();
}

void AtomicFileWriter::Discard() noexcept {
  if (done_) return;
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  ForgetName(true);
  done_ = true;
}

unsigned PermissionsOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 0777 : 0666;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace uy
