#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace uy {
namespace fs = std::filesystem;

namespace {

std::string KindVerb(FileError::Kind kind) {
  switch (kind) {
    case FileError::Kind::Read: return "cannot read";
    case FileError::Kind::Create: return "cannot create";
    case FileError::Kind::Write: return "cannot write";
  }
  return "cannot use";
}

[[noreturn]] void Fail(FileError::Kind kind, const fs::path& path, int err) {
  throw FileError(kind, path, ErrnoText(err));
}

}  // namespace

FileError::FileError(Kind kind, fs::path path, std::string reason)
    : std::runtime_error(KindVerb(kind) + " " + path.string() + ": " + reason),
      kind_(kind), path_(std::move(path)), reason_(std::move(reason)) {}

std::string ErrnoText(int err) { return std::strerror(err); }

InputFile::InputFile(const fs::path& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) Fail(FileError::Kind::Read, path, errno);
  struct stat st {};
  if (::fstat(fd_, &st) != 0) {
    const int err = errno;
    ::close(fd_);
    Fail(FileError::Kind::Read, path, err);
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd_);
    throw FileError(FileError::Kind::Read, path,
                    S_ISDIR(st.st_mode) ? "it is a folder" : "not a regular file");
  }
  size_ = static_cast<std::uint64_t>(st.st_size);
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

AtomicFileWriter::AtomicFileWriter(fs::path target) : target_(std::move(target)) {
  struct stat st {};
  mode_t mode = 0666;  // narrowed by the umask, as for any new file
  bool keep_mode = false;
  if (::stat(target_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw FileError(FileError::Kind::Create, target_, "a folder has that name");
    if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::Create, target_, "not a regular file");
    mode = st.st_mode & 07777;
    keep_mode = true;
  }
  fs::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  std::random_device rd;
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "." + target_.filename().string() + ".";
    for (int i = 0; i < 8; ++i) name += kDigits[rd() % 36];
    name += ".tmp";
    temp_ = dir / name;
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd_ >= 0) break;
    if (errno != EEXIST) Fail(FileError::Kind::Create, target_, errno);
  }
  if (fd_ < 0) throw FileError(FileError::Kind::Create, target_, "no free temporary name");
  if (keep_mode) (void)::fchmod(fd_, mode);
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
  if (::fsync(fd_) != 0) Fail(FileError::Kind::Write, target_, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int err = errno;
    Discard();
    Fail(FileError::Kind::Write, target_, err);
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) Fail(FileError::Kind::Create, target_, errno);
  done_ = true;
  // Make the rename itself durable; a failure here loses nothing already in place.
  fs::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    (void)::fsync(dfd);
    ::close(dfd);
  }
}

void AtomicFileWriter::Discard() noexcept {
  if (done_) return;
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) ::unlink(temp_.c_str());
  done_ = true;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace uy
