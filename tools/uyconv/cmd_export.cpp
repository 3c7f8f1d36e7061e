#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "core/file_io.h"
#include "core/utf.h"
#include "editor/text_file.h"
#include "export/visual.h"

namespace uyconv {
namespace {

void PrintExportHelp() {
  std::cout << "Usage: uyconv export [--utf16] [FILE]\n\n"
               "Turns every line of FILE (standard input without FILE, or with -) into its\n"
               "export line: Uyghur letters in their presentation forms, the line in visual\n"
               "(left-to-right) order, as pasted into programs that cannot shape Arabic.\n"
               "The input is UTF-8 text or a \".uyt\" file (UTF-16 with its mark).\n"
               "Lines end at LF, CR LF, a lone CR or U+2028.\n\n"
               "  --utf16  write the clipboard text: UTF-16LE, CR LF after every line\n"
               "           (default: UTF-8, LF after every line)\n";
}

struct Input {
  std::string name;  // for messages
  std::string bytes;
};

Input ReadInput(const std::optional<std::string>& file) {
  if (file) return {*file, uy::ReadWholeFile(*file)};
  std::string bytes;
  char buf[1 << 16];
  while (const std::size_t got = std::fread(buf, 1, sizeof buf, stdin)) bytes.append(buf, got);
  if (std::ferror(stdin)) throw std::runtime_error("cannot read standard input: " + uy::ErrnoText(errno));
  return {"standard input", std::move(bytes)};
}

// The one place where input bytes become text: ".uyt" files and other UTF-16 text with
// its mark through the editor's reader, everything else as UTF-8 (a leading mark
// skipped). Malformed UTF-8 is refused rather than exported with replacement characters.
std::optional<std::u16string> DecodeText(const Input& in) {
  std::size_t text_start = 0;
  const uy::CharacterSet charset = uy::AutoDetectCharacterSet(in.bytes, &text_start);
  if (charset == uy::CharacterSet::csUnicode || charset == uy::CharacterSet::csUnicodeSwapped)
    return uy::DecodeTextFile(in.bytes).text;
  std::string_view bytes = in.bytes;
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  std::size_t replaced = 0;
  std::u16string text = uy::FromUtf8(bytes, &replaced);
  if (replaced != 0) {
    Error("export: " + in.name + ": not valid UTF-8 text (" + std::to_string(replaced) +
          " malformed sequence" + (replaced == 1 ? "" : "s") + ")");
    return std::nullopt;
  }
  return text;
}

// Hard lines: breaks are LF, CR LF, a lone CR and U+2028; a break at the very end
// does not open another line, and an empty text has no lines.
std::vector<std::u16string_view> SplitLines(std::u16string_view text) {
  std::vector<std::u16string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c != u'\n' && c != u'\r' && c != u'\u2028') continue;
    lines.push_back(text.substr(start, i - start));
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool WriteAll(std::string_view bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

}  // namespace

int RunExport(const Args& args) {
  bool utf16 = false;
  std::optional<std::string> file;
  bool options_done = false;
  for (const std::string& a : args) {
    if (!options_done && a == "--") {
      options_done = true;
    } else if (!options_done && (a == "--help" || a == "-h")) {
      PrintExportHelp();
      return 0;
    } else if (!options_done && a == "--utf16") {
      utf16 = true;
    } else if (!options_done && a.size() > 1 && a[0] == '-') {
      return UsageError("export: unknown option '" + a + "'");
    } else if (file) {
      return UsageError("export: more than one input file given");
    } else if (a != "-") {
      file = a;
    }
  }

  std::optional<std::u16string> text;
  try {
    text = DecodeText(ReadInput(file));
  } catch (const std::exception& e) {
    Error("export: " + std::string(e.what()));
    return 1;
  }
  if (!text) return 1;

  const std::vector<std::u16string_view> lines = SplitLines(*text);
  bool ok = true;
  if (utf16) {
    const std::u16string out = uy::exporter::ExportText(lines);
    std::string bytes;
    bytes.reserve(out.size() * 2);
    for (char16_t u : out) {
      bytes.push_back(static_cast<char>(u & 0xFF));
      bytes.push_back(static_cast<char>(u >> 8));
    }
    ok = WriteAll(bytes);
  } else {
    std::string bytes;
    std::u16string line;
    for (std::u16string_view l : lines) {
      line.clear();
      uy::exporter::AppendVisualLine(l, line);
      bytes += uy::ToUtf8(line);
      bytes += '\n';
    }
    ok = WriteAll(bytes);
  }
  // A failed standard output is reported once, by main, as a write error.
  return ok && std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace uyconv
