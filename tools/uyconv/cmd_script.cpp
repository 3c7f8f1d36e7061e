// SPDX-License-Identifier: GPL-3.0-or-later
// uyconv script: text files and documents between the Uyghur scripts, one by one or over folder trees.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "commands.h"
#include "docscript.h"
#include "file_io.h"
#include "recode_tree.h"
#include "script.h"
#include "convert_file.h"
#include "tree.h"

namespace uyconv {
namespace {

namespace fs = std::filesystem;
namespace sc = uy::script;
namespace ds = uy::docscript;

// Standard input failed: named like a file that failed.
class StdinFailure : public std::runtime_error {
  using std::runtime_error::runtime_error;
};
struct OutputFailed {};

class StdinSource : public ds::ByteSource {
 public:
  const std::string& name() const override { return name_; }
  std::size_t Read(char* buf, std::size_t n) override {
    for (;;) {
      const ssize_t r = ::read(STDIN_FILENO, buf, n);
      if (r >= 0) return static_cast<std::size_t>(r);
      if (errno != EINTR) throw StdinFailure("cannot read standard input: " + uy::ErrnoText(errno));
    }
  }

 private:
  std::string name_ = "standard input";
};

// Where the converted bytes go: standard output, or the -o file written whole or not at all.
class Sink : public ds::ByteSink {
 public:
  explicit Sink(const std::optional<std::string>& path) {
    if (path) file_ = std::make_unique<uy::AtomicFileWriter>(*path);
  }
  void Write(const char* p, std::size_t n) override {
    if (n == 0) return;
    if (file_) file_->Write(p, n);
    else if (std::fwrite(p, 1, n, stdout) != n) throw OutputFailed();
  }
  void Commit() {
    if (file_) file_->Commit();
  }

 private:
  std::unique_ptr<uy::AtomicFileWriter> file_;
};

// A text that cannot be converted, as this command words it.
std::string TextMessage(const ds::TextError& e) {
  const std::string name = e.path().string() + ": ";
  switch (e.text_kind()) {
    case ds::TextError::Kind::kZip:
      return name + e.document() + "; give a document as a file, alone, with -o OUT";
    case ds::TextError::Kind::kDocument:
      return name + e.document() +
             "; 'uyconv script' converts plain text files and documents (.docx .xlsx .pptx .odt .ods .odp "
             ".rtf, and HTML pages that start with <!DOCTYPE html> or <html>) only";
    case ds::TextError::Kind::kText: break;
  }
  return name + e.reason();
}

void WarnAssumed(const std::string& name, const ds::ConvertSummary& s, sc::Script to) {
  if (s.assumed && to != sc::Script::Uly)
    Error(name + ": Latin without a letter only ULY or the New Script has: taken as ULY (give --from uyy "
                 "for the New Script)");
}

// Converts one input to the sink, keeping its encoding and mark. Throws what names it.
void ConvertOne(const std::string& path, const ds::ConvertOptions& options, Sink& sink) {
  std::unique_ptr<ds::ByteSource> source;
  if (path == "-") source = std::make_unique<StdinSource>();
  else source = std::make_unique<ds::FileSource>(path);
  WarnAssumed(source->name(), ds::ConvertText(*source, sink, options), options.to);
}

// The office document of a file (nothing for text files and what cannot be read: the text
// path reports those).
std::optional<ds::DocumentType> DocumentOf(const std::string& path) {
  if (path == "-") return std::nullopt;
  try {
    const ds::DocumentType t = ds::TypeOf(path);
    if (!ds::IsDocument(t)) return std::nullopt;
    return t;
  } catch (const uy::FileError&) {
    return std::nullopt;
  }
}

// One file converted into the file -o names: a document, or a text file given alone.
int ConvertToFile(const std::string& path, const std::string& output, const ds::ConvertOptions& options) {
  try {
    const ds::ConvertSummary s = ds::ConvertFile(path, output, options);
    WarnAssumed(path, s, options.to);
    if (s.runs_changed == 0 && s.type != ds::DocumentType::kNone)
      Error(path + ": unchanged: no text in it was converted from " + std::string(sc::Name(s.from)));
  } catch (const ds::TextError& e) {
    Error(TextMessage(e));
    return 1;
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  return 0;
}

// An office document, converted into a file of its own.
int ConvertDocumentFile(const std::string& path, ds::DocumentType type, const std::vector<std::string>& files,
                        const std::optional<std::string>& output, const ds::ConvertOptions& options) {
  // A zip archive that did not open as a document gets its reason from the conversion.
  if (const auto why = ds::Refusal(type); why && type != ds::DocumentType::kOtherZip) {
    Error(path + ": " + *why);
    return 1;
  }
  if (files.size() != 1 || !output) {
    Error(path + ": an office document is converted into a file of its own: give it alone, with -o OUT");
    return 1;
  }
  return ConvertToFile(path, *output, options);
}

struct Request {
  ds::ConvertOptions set;
  std::vector<std::string> files, word_files;
  std::optional<std::string> output;
  bool recursive = false;
  uy::recode::TreeOptions tree;
};

// The folder-tree options (-r, --out-dir, --overwrite, --jobs): true when `a` is one;
// `status` gets a usage error's exit status.
bool TreeOption(const std::string& a, const std::function<std::optional<std::string>()>& take, Request& r,
                int& status) {
  if (a == "-r" || a == "--recursive") {
    r.recursive = true;
  } else if (a == "--overwrite") {
    r.tree.overwrite = true;
  } else if (a == "--out-dir" || a == "--jobs") {
    const auto v = take();
    if (!v) {
      status = UsageError("script: " + a + " needs a value");
    } else if (a == "--out-dir") {
      r.tree.out_dir = *v;
    } else {
      unsigned jobs = 0;
      const auto [end, ec] = std::from_chars(v->data(), v->data() + v->size(), jobs);
      if (ec != std::errc() || end != v->data() + v->size() || jobs == 0 || jobs > 1024)
        status = UsageError("script: --jobs must be a number from 1 to 1024, not '" + *v + "'");
      else
        r.tree.jobs = jobs;
    }
  } else {
    return false;
  }
  return true;
}

// What the options allow together; -1, or a usage error's exit status.
int CheckRequest(Request& r, bool to_given) {
  if (!to_given) return UsageError("script: give the script to convert to with --to");
  if (r.set.from && *r.set.from == r.set.to) return UsageError("script: --from and --to are the same script");
  if (r.set.e_acute && r.set.to != sc::Script::Uly) return UsageError("script: --e-acute goes with --to uly");
  if (r.recursive) {
    if (r.output) return UsageError("script: -o does not go with -r (use --out-dir)");
    if (r.files.empty()) return UsageError("script: -r needs folders or files");
    if (std::count(r.files.begin(), r.files.end(), "-") > 0) return UsageError("script: -r does not read standard input");
    return -1;
  }
  if (r.tree.out_dir) return UsageError("script: --out-dir goes with -r");
  if (r.files.empty()) r.files.push_back("-");
  if (std::count(r.files.begin(), r.files.end(), "-") > 1) return UsageError("script: standard input given twice");
  return -1;
}

// Reads the arguments into `r`; returns -1, or the exit status of --help or a usage error.
int ParseArgs(const Args& args, Request& r) {
  bool to_given = false, options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string a = args[i];
    if (options_done || a == "-" || a.empty() || a[0] != '-') {
      r.files.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::optional<std::string> value;
    if (const std::size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = a.substr(eq + 1);
      a.resize(eq);
    }
    auto take = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 == args.size()) return std::nullopt;
      return args[++i];
    };
    int status = -1;
    if (a == "--help" || a == "-h") return PrintUsage("script");
    if (a == "--from" || a == "--to") {
      const auto v = take();
      if (!v) return UsageError("script: " + a + " needs a script: uey, uly, uky or uyy");
      const auto s = sc::ParseScript(*v);
      if (!s) return UsageError("script: " + a + " takes uey, uly, uky or uyy, not '" + *v + "'");
      if (a == "--from") r.set.from = *s;
      else r.set.to = *s, to_given = true;
    } else if (a == "--words" || a == "-o" || a == "--output") {
      const auto v = take();
      if (!v) return UsageError("script: " + a + " needs a file");
      if (a == "--words") r.word_files.push_back(*v);
      else r.output = *v;
    } else if (a == "--e-acute" && !value) {
      r.set.e_acute = true;
    } else if (a == "--no-wrap" && !value) {
      r.set.wrap = false;
    } else if (!TreeOption(a, take, r, status)) {
      return UsageError("script: unknown option '" + args[i] + "'");
    }
    if (status >= 0) return status;
  }
  return CheckRequest(r, to_given);
}

// The word lists: the files' pairs (for the Latin scripts of the run), then the built-in ones.
// Throws WordListError or uy::FileError.
sc::WordList LoadWords(const Request& r) {
  sc::WordList words;
  std::vector<sc::Script> latin;
  for (const sc::Script s : {sc::Script::Uly, sc::Script::Uyy})
    if (r.set.to == s || !r.set.from || *r.set.from == s) latin.push_back(s);
  for (const std::string& f : r.word_files) words.AddText(uy::ReadWholeFile(f), f, latin);
  words.Merge(sc::WordList::BuiltIn());
  return words;
}

// -r: every file under the folders converted beside itself (or under --out-dir).
int ConvertTrees(Request& r) {
  r.tree.suffix = ds::OutputSuffix(r.set.to);
  std::mutex warn;
  const ds::ConvertOptions options = r.set;
  auto convert = [&](const fs::path& in, const fs::path& out, int, uy::recode::ProgressSink*) -> std::size_t {
    ds::ConvertSummary s;
    try {
      s = ds::ConvertFile(in, out, options);
    } catch (const ds::TextError& e) {
      throw std::runtime_error(TextMessage(e));
    }
    std::lock_guard lock(warn);
    WarnAssumed(in.string(), s, options.to);
    return s.runs_changed;
  };
  const std::string what = "to " + std::string(sc::Name(r.set.to));
  return RunTrees(r.files, r.tree, convert,
                  {"converted", "no text in it was converted; the output is the file as it was", what});
}

// The text files (and standard input) into standard output or the -o file.
int ConvertTexts(const Request& r) {
  int status = 0;
  try {
    Sink sink(r.output);
    for (const std::string& f : r.files) {
      try {
        ConvertOne(f, r.set, sink);
      } catch (const ds::TextError& e) {
        Error(TextMessage(e));
        status = 1;
      } catch (const StdinFailure& e) {
        Error(e.what());
        status = 1;
      } catch (const uy::FileError& e) {
        Error(e.what());
        status = 1;
      }
    }
    if (status == 0) sink.Commit();  // -o: written whole, or (after a failure) not at all
  } catch (const OutputFailed&) {
    return 1;  // main reports the write error
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  return status;
}

}  // namespace

int RunScript(const Args& args) {
  Request r;
  r.tree.jobs = std::max(1u, std::thread::hardware_concurrency());
  if (const int status = ParseArgs(args, r); status >= 0) return status;
  sc::WordList words;
  try {
    words = LoadWords(r);
  } catch (const sc::WordListError& e) {
    Error(e.what());
    return 1;
  } catch (const uy::FileError& e) {
    Error(e.what());
    return 1;
  }
  r.set.words = &words;
  if (r.recursive) return ConvertTrees(r);
  for (const std::string& f : r.files)
    if (const auto type = DocumentOf(f)) return ConvertDocumentFile(f, *type, r.files, r.output, r.set);
  // A text file alone into -o: the library's one entry point for files.
  if (r.files.size() == 1 && r.files[0] != "-" && r.output) return ConvertToFile(r.files[0], *r.output, r.set);
  return ConvertTexts(r);
}

}  // namespace uyconv
