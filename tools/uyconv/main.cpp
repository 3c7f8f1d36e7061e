// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv: the Uyghur text libraries on the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <streambuf>

#include <fcntl.h>
#include <unistd.h>

#include "commands.h"
#include "core/signals.h"

#ifndef UY_VERSION
#define UY_VERSION "0.0.0"
#endif

namespace uyconv {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"recode", "recode documents between Unicode and the legacy Uyghur encodings", RunRecode},
      {"detect", "tell which encoding documents are in: Unicode or a legacy one", RunDetect},
      {"keys", "convert key strings to Uyghur text", RunKeys},
      {"export", "shape lines into presentation forms in visual order", RunExport},
      {"type", "type Latin keys on the phonetic keyboard, print Uyghur text", RunType},
      {"cat", "print a text file of any accepted encoding as UTF-8", RunCat},
      {"save", "save UTF-8 from stdin as a .uyt text file", RunSave},
  };
  return commands;
}

int UsageError(const std::string& message) {
  std::cerr << "uyconv: " << message << "\nTry 'uyconv --help' for more information.\n";
  return 2;
}

void Error(const std::string& message) { std::cerr << "uyconv: " << message << '\n'; }

namespace {

void PrintHelp() {
  std::cout << "Usage: uyconv COMMAND [ARGS...]\n"
               "       uyconv COMMAND --help\n\n"
               "Uyghur text tools: the recoder, keyboard, text files and export of\n"
               "docrecode and uyedit, for batch work and scripts.\n\nCommands:\n";
  for (const Command& c : Commands()) {
    std::string name = c.name;
    name.resize(10, ' ');
    std::cout << "  " << name << c.summary << '\n';
  }
  std::cout << "\nOptions:\n  --help     show this help\n  --version  show the version\n\n"
               "Exit status: 0 on success, 1 when a file failed, 2 for a usage error.\n";
}

int Dispatch(int argc, char** argv) {
  if (argc < 2) return UsageError("no command given");
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") {
    PrintHelp();
    return 0;
  }
  if (first == "--version") {
    std::cout << "uyconv " << UY_VERSION << '\n';
    return 0;
  }
  for (const Command& c : Commands()) {
    if (first != c.name) continue;
    try {
      return c.run(Args(argv + 2, argv + argc));
    } catch (const std::exception& e) {
      Error(e.what());
      return 1;
    }
  }
  return UsageError("unknown command '" + first + "'");
}

// Standard output with its first failure kept: stdout becomes a stream over fd 1 that
// records the system's reason, and std::cout writes through it, so that the reason is
// known however much later the failure is noticed.
int g_stdout_error = 0;
FILE* g_plain_stdout = nullptr;             // put back once the watched one is closed
std::streambuf* g_plain_cout_buf = nullptr;

ssize_t WriteStdout(void*, const char* data, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = ::write(STDOUT_FILENO, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      if (g_stdout_error == 0) g_stdout_error = w < 0 ? errno : ENOSPC;
      return done > 0 ? static_cast<ssize_t>(done) : 0;  // 0: an error, for stdio
    }
    done += static_cast<std::size_t>(w);
  }
  return static_cast<ssize_t>(done);
}

class StdoutBuf : public std::streambuf {
 protected:
  int overflow(int c) override {
    return c == traits_type::eof() ? traits_type::not_eof(c) : std::fputc(c, stdout);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), stdout));
  }
  int sync() override { return std::fflush(stdout) == 0 ? 0 : -1; }
};

void WatchStdout() {
  // A standard stream the caller closed is opened on /dev/null the wrong way round: no file
  // opened here can become it, and a write to it still fails.
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) < 0 && errno == EBADF) (void)::open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
  static auto* buf = new StdoutBuf;  // never destroyed: the exit code flushes std::cout last
  cookie_io_functions_t io{};
  io.write = WriteStdout;
  FILE* watched = ::fopencookie(nullptr, "w", io);
  if (!watched) return;
  if (::isatty(STDOUT_FILENO)) std::setvbuf(watched, nullptr, _IOLBF, BUFSIZ);
  std::fflush(stdout);
  g_plain_stdout = stdout;
  stdout = watched;
  g_plain_cout_buf = std::cout.rdbuf(buf);
}

// Output that never arrived is a failure: flush and close standard output and report a
// failed write as "uyconv: write error: REASON", exit status 1.
int CloseStdout(int status) {
  const bool failed = !std::cout.flush() || std::ferror(stdout);
  const bool close_failed = std::fclose(stdout) != 0;
  if (g_plain_stdout) {  // the exit code still flushes both
    stdout = g_plain_stdout;
    std::cout.rdbuf(g_plain_cout_buf);
  }
  if (!failed && !close_failed && g_stdout_error == 0) return status;
  std::cerr << "uyconv: write error"
            << (g_stdout_error != 0 ? std::string(": ") + std::strerror(g_stdout_error) : "") << '\n';
  return 1;
}

}  // namespace
}  // namespace uyconv

int main(int argc, char** argv) {
  uy::InstallSignalHandlers();
  uyconv::WatchStdout();
  return uyconv::CloseStdout(uyconv::Dispatch(argc, argv));
}
