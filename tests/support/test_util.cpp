// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_util.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <csignal>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace uytest {
namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "uytest-XXXXXX").string();
  if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::vector<std::string> TempDir::List() const {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

namespace {
std::string Drain(int fd) {
  std::string data;
  char buf[65536];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;) data.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return data;
}
}  // namespace

RunResult RunProgram(const std::vector<std::string>& argv, const std::string& input,
                     const std::function<void()>& in_child) {
  ::signal(SIGPIPE, SIG_IGN);  // a program that ignores its input must not kill the test
  int in[2], out[2], err[2];
  if (::pipe(in) || ::pipe(out) || ::pipe(err)) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
    if (in_child) in_child();
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  std::thread writer([&] {
    std::size_t done = 0;
    while (done < input.size()) {
      const ssize_t w = ::write(in[1], input.data() + done, input.size() - done);
      if (w <= 0) break;
      done += static_cast<std::size_t>(w);
    }
    ::close(in[1]);
  });
  RunResult r;
  std::thread err_reader([&] { r.err = Drain(err[0]); });
  r.out = Drain(out[0]);
  err_reader.join();
  writer.join();
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  r.max_rss_kb = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  return r;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

std::string Utf16Le(std::u16string_view s) {
  std::string b;
  for (char16_t c : s) {
    b.push_back(static_cast<char>(c & 0xFF));
    b.push_back(static_cast<char>(c >> 8));
  }
  return b;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  rlimit lim{};
  ::getrlimit(RLIMIT_FSIZE, &lim);
  old_cur_ = lim.rlim_cur;
  old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
  lim.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &lim);
}

FileSizeLimit::~FileSizeLimit() {
  rlimit lim{};
  ::getrlimit(RLIMIT_FSIZE, &lim);
  lim.rlim_cur = old_cur_;
  ::setrlimit(RLIMIT_FSIZE, &lim);
  std::signal(SIGXFSZ, old_handler_);
}

}  // namespace uytest
