// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv: the Uyghur text libraries on the command line.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <iostream>
#include <streambuf>

#include <fcntl.h>
#include <unistd.h>

#include "commands.h"
#include "signals.h"
#include "version.h"


namespace uyconv {

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"recode", "recode documents between Unicode and the legacy Uyghur encodings",
       "Usage: uyconv recode [-d N] [-o OUT] [--raw] [--force] FILE...\n"
       "       uyconv recode -r [-d N] [--out-dir OUT] [--jobs N] [--overwrite] DIR...\n"
       "       uyconv recode --list\n\n"
       "Recodes the Uyghur text of each document in direction N (default 0) and\n"
       "writes the result beside it, the name marked \"(Unicode)\" or \"(Korveli)\".\n"
       "The documents themselves are never changed. The kind of document is told by its\n"
       "content: the text of zip containers (.docx .xlsx .odt ...), compound files\n"
       "(.doc .xls .ppt) and UTF-8, UTF-16 and rich text files is recoded, and nothing\n"
       "else; other files get the 16-bit unit pass. A document whose content is\n"
       "clearly Unicode already (for a direction into Unicode) or clearly legacy text\n"
       "(for a direction out of it) is not recoded: it is reported as failed. One\n"
       "without any character to recode is written and reported as unchanged.\n\n"
       "  -d, --direction N  the recoding direction, 0 to 7 (see --list)\n"
       "  -o, --output OUT   write the result to OUT (one document only)\n"
       "      --raw          the 16-bit unit pass for every file, whatever it holds\n"
       "      --force        recode even when the content says the direction is wrong\n"
       "      --list         print the eight directions\n"
       "  -r, --recursive    walk the folders given, recoding every document in them;\n"
       "                     outputs of earlier runs and hidden files are left out\n"
       "      --out-dir OUT  write the outputs under OUT, mirroring the folders\n"
       "      --jobs N       recode N documents at a time (default: the processors)\n"
       "      --overwrite    replace outputs that exist (default: skip their documents)\n",
       RunRecode},
      {"detect", "tell which encoding documents are in: Unicode or a legacy one",
       "Usage: uyconv detect FILE...\n\n"
       "Tells which encoding the Uyghur text of each document is in, from its content\n"
       "(only as much of it as needed is read). Prints one line per document: the\n"
       "path, a tab, the verdict, a tab, a confidence between 0 and 1. The verdict is\n"
       "\"unicode\", \"direction N\" (the lowest direction, 0, 2, 4 or 6, whose table\n"
       "recodes the document to Unicode; see 'uyconv recode --list') or \"unknown\"\n"
       "(no Uyghur text, or too little to tell).\n\n"
       "A document that recode would refuse as damaged or encrypted is refused here\n"
       "too, with the reason on stderr.\n\n"
       "Exit status: 0 when every document got a verdict, 1 when one is unknown or\n"
       "cannot be read, 2 for a usage error.\n",
       RunDetect},
      {"keys", "convert key strings to Uyghur text",
       "Usage: uyconv keys STRING...\n\n"
       "Prints each key string converted to Uyghur text (UTF-8), one per line.\n"
       "Key strings spell Uyghur letters with Latin keys: / is the hamza carrier,\n"
       "a-z and D F G H J K are letters, everything else stands for itself.\n",
       RunKeys},
      {"export", "shape lines into presentation forms in visual order",
       "Usage: uyconv export [--utf16] [FILE]\n\n"
       "Turns every line of FILE (standard input without FILE, or with -) into its\n"
       "export line: Uyghur letters in their presentation forms, the line in the\n"
       "order in which a right-to-left paragraph shows it (left to right), as pasted\n"
       "into programs that cannot shape or lay out Arabic.\n"
       "The input is UTF-8 text or a \".uyt\" file (UTF-16 with its mark).\n"
       "Lines end at LF, CR LF, a lone CR or U+2028. The input is read line by line:\n"
       "files of any size are exported in memory bounded by the longest line.\n\n"
       "  --utf16  write the clipboard text: UTF-16LE, CR LF after every line\n"
       "           (default: UTF-8, LF after every line)\n",
       RunExport},
      {"type", "type Latin keys on the phonetic keyboard, print Uyghur text",
       "Usage: uyconv type [TEXT]\n\n"
       "Types TEXT (or standard input) on the editor's phonetic keyboard in Uyghur\n"
       "mode and prints the resulting text as UTF-8. Every character is one\n"
       "keystroke: letters, punctuation and the capitals' symbols and phrases are\n"
       "mapped, brackets are swapped, a vowel at a word start gets the hamza carrier.\n"
       "Backspace (0x08) deletes the character before it; a newline (LF, CR or\n"
       "CR LF) is Enter and prints as LF; other control characters insert nothing.\n"
       "A TEXT argument is followed by a newline in the output; standard input is\n"
       "printed exactly as typed.\n",
       RunType},
      {"cat", "print a text file of any accepted encoding as UTF-8",
       "Usage: uyconv cat FILE\n\n"
       "Prints a text file as UTF-8, reading it as the editor opens it: UTF-16\n"
       "with either byte-order mark, UTF-8 with its mark, or unmarked text (UTF-8\n"
       "when valid, else code page 936). Line breaks print as LF. Malformed or\n"
       "unmappable bytes, and UTF-16 surrogates without their other half, print as\n"
       "U+FFFD and are counted in a warning on stderr; a last byte that is half a\n"
       "UTF-16 unit is left out with a warning. The file is read and printed a piece\n"
       "at a time, in a few MB whatever its size; the first failed write ends the run.\n",
       RunCat},
      {"save", "save UTF-8 from stdin as a .uyt text file",
       "Usage: uyconv save FILE\n\n"
       "Writes UTF-8 text from standard input to FILE as the editor saves it:\n"
       "byte-order mark FF FE, then little-endian UTF-16 with CR LF line breaks.\n"
       "An existing FILE is replaced only once everything was written; on a\n"
       "failure it stays as it was.\n",
       RunSave},
      {"script", "convert text between the Arabic, Latin, Cyrillic and New Script alphabets",
       "Usage: uyconv script [--from SCRIPT] --to SCRIPT [--words FILE] [--e-acute] [--no-wrap]\n"
       "                     [-o OUT] [FILE...]\n"
       "       uyconv script -r [--out-dir DIR] [--overwrite] [--jobs N] --to SCRIPT\n"
       "                        [--from SCRIPT] [...] DIR|FILE...\n\n"
       "Converts Uyghur text files between its four alphabets by the standards DB65/T\n"
       "3690-2015 (Latin), 3691-2015 (Cyrillic) and 3689-2015 (New Script): SCRIPT is\n"
       "uey (Arabic script), uly (Latin), uky (Cyrillic) or uyy (New Script); a pair\n"
       "without uey goes through it. Reads standard input without FILE (or with -),\n"
       "writes standard output unless -o.\n"
       "Without --from the script is told from the letters of the text; Latin with no\n"
       "letter only one of uly and uyy has is taken as uly (said on stderr).\n"
       "Text files keep their encoding, byte-order mark and line breaks: UTF-8 with or\n"
       "without its mark, UTF-16 with its mark in either byte order. Malformed input is\n"
       "an error naming the file and byte offset.\n"
       "A .docx, .xlsx or .pptx document is converted into the file -o names (give\n"
       "it alone): every paragraph, table cell, text box, header, footer, note, string\n"
       "and slide text, each letter keeping the formatting of the letter it came from;\n"
       "paragraphs, tables, sections, sheets and slides turn their direction with the\n"
       "script. Binary .doc .xls .ppt files are refused (save them as .docx .xlsx\n"
       ".pptx first), and so are other documents for now. HTML pages (.html .htm)\n"
       "are converted as documents too, their dir, align and lang turned, and so is\n"
       "rich text (.rtf): its paragraphs, notes, headers and footers, their direction.\n"
       "Text already in the target script is kept and wrapped in U+200B ... U+FEFF so\n"
       "that the way back leaves it alone; a wrapped span of the input is copied.\n"
       "With -r every file under the folders (and every file named) is converted into\n"
       "a file beside it whose name carries (Latin), (Cyrillic), (New Script) or\n"
       "(Arabic) as recode names its outputs (letter.rtf -> letter(Latin).rtf); hidden\n"
       "files and earlier outputs of either command are left out, existing outputs\n"
       "are skipped. Each output is printed; failures and a summary go to stderr.\n\n"
       "  --from SCRIPT  the script of the input (default: told from the text)\n"
       "  --to SCRIPT    the script to write\n"
       "  --words FILE   words the rules cannot decide, one pair a line: the Arabic-\n"
       "                 script word, then its spelling (a tab between them when they\n"
       "                 hold spaces); # starts a comment; added to the built-in list\n"
       "  --e-acute      write e-acute for the Latin letter e-diaeresis (with --to uly)\n"
       "  --no-wrap      keep text of the target script without the U+200B/U+FEFF marks\n"
       "  -o, --output OUT  write to OUT (replaced only when every input converted)\n"
       "  -r, --recursive   convert folder trees, each output beside its file\n"
       "  --out-dir DIR     with -r: write the outputs under DIR, mirroring the tree\n"
       "  --overwrite       with -r: replace outputs that exist already\n"
       "  --jobs N          with -r: convert N files at a time (default: one per core)\n\n"
       "Examples:\n"
       "  echo 'ئانار' | uyconv script --to uly     anar\n"
       "  echo 'anar' | uyconv script --to uey      ئانار\n"
       "  echo 'ئانار' | uyconv script --to uky     анар\n"
       "  echo 'анар' | uyconv script --to uey      ئانار\n"
       "  echo 'ئەنجۈر' | uyconv script --to uyy    ənjür\n"
       "  echo 'ənjür' | uyconv script --to uey     ئەنجۈر\n"
       "  uyconv script --to uly -o report-latin.docx report.docx\n"
       "  uyconv script -r --to uky reports/   (reports/a.docx -> a(Cyrillic).docx)\n",
       RunScript},
  };
  return commands;
}

int PrintUsage(const std::string& name) {
  for (const Command& c : Commands())
    if (name == c.name) std::cout << c.usage;
  return 0;
}

int UsageError(const std::string& message) {
  std::cerr << "uyconv: " << message << "\nTry 'uyconv --help' for more information.\n";
  return 2;
}

void Error(const std::string& message) { std::cerr << "uyconv: " << message << '\n'; }

std::string ReadStandardInput() {
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t r = ::read(STDIN_FILENO, buf, sizeof buf);
    if (r > 0) {
      data.append(buf, static_cast<std::size_t>(r));
    } else if (r == 0) {
      return data;
    } else if (errno != EINTR) {
      throw std::runtime_error("cannot read standard input: " + std::string(std::strerror(errno)));
    }
  }
}

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
    if (argc > 2 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0))
      return PrintUsage(c.name);
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
