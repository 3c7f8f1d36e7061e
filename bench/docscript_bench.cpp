// SPDX-License-Identifier: GPL-3.0-or-later
// Documents per second converted to Latin, beside recoding the same documents in the same run.
// Converting should cost at most twice the recoding. Two sets of documents:
//  - generated .docx files (paragraphs of several formatted runs, right to left, with tables,
//    a header and a picture);
//  - with --folder, every document of a folder (tests/data/docscript: small documents of each
//    format as LibreOffice writes them), the folder gone through --rounds times. Documents the
//    converter refuses (formats it does not convert yet) are listed and left out of both.
//
// Usage: bench_docscript [--docs N] [--paragraphs N] | --folder DIR [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <zip.h>

#include "docscript.h"
#include "file_io.h"
#include "formats.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char* const kWords[] = {"ئانار", "سائەت", "مەكتەپ", "ئوقۇغۇچى", "كىتاب", "Windows", "2015", "ۋە", "بىلەن", "يېزىق"};

std::string Body(int paragraphs, std::mt19937& rng) {
  std::string b;
  for (int p = 0; p < paragraphs; ++p) {
    if (p % 50 == 0) b += "<w:tbl><w:tblPr><w:bidiVisual/></w:tblPr><w:tr><w:tc>";
    b += R"(<w:p><w:pPr><w:bidi/><w:jc w:val="left"/></w:pPr>)";
    for (int r = 0; r < 4; ++r) {
      b += R"(<w:r><w:rPr><w:rFonts w:cs="UKIJ Tuz"/>)";
      b += (r % 2 ? "<w:bCs/>" : "<w:iCs/>");
      b += R"(<w:rtl/><w:szCs w:val="28"/><w:lang w:bidi="ug-CN"/></w:rPr><w:t xml:space="preserve">)";
      for (int w = 0; w < 6; ++w) b += std::string(kWords[rng() % 10]) + " ";
      b += "</w:t></w:r>";
    }
    b += "</w:p>";
    if (p % 50 == 49 || p + 1 == paragraphs) b += "</w:tc></w:tr></w:tbl><w:p/>";
  }
  return b;
}

void Write(const fs::path& path, const std::string& body, const std::string& picture) {
  const std::string ns = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  const std::vector<std::pair<std::string, std::string>> parts{
      {"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
      {"word/document.xml", "<?xml version=\"1.0\"?>\n<w:document " + ns + "><w:body>" + body + "</w:body></w:document>"},
      {"word/header1.xml", "<w:hdr " + ns + "><w:p><w:r><w:t>ئانار</w:t></w:r></w:p></w:hdr>"},
      {"word/media/image1.png", picture}};
  int err = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!z) std::exit(1);
  for (const auto& [name, data] : parts)
    zip_file_add(z, name.c_str(), zip_source_buffer(z, data.data(), data.size(), 0), 0);
  if (zip_close(z) != 0) std::exit(1);
}

template <typename F>
double Seconds(const std::vector<fs::path>& docs, F&& f) {
  const auto t0 = Clock::now();
  for (const fs::path& d : docs) f(d);
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

uy::docscript::ConvertOptions ToLatin() {
  uy::docscript::ConvertOptions options;
  options.from = uy::script::Script::Uey;
  options.to = uy::script::Script::Uly;
  return options;
}

int Generated(int count, int paragraphs) {
  const fs::path dir = fs::temp_directory_path() / ("bench_docscript." + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::mt19937 rng(1);
  std::string picture(200000, '\0');
  for (char& c : picture) c = static_cast<char>(rng());
  std::vector<fs::path> docs;
  std::uintmax_t bytes = 0;
  for (int i = 0; i < count; ++i) {
    docs.push_back(dir / ("doc" + std::to_string(i) + ".docx"));
    Write(docs.back(), Body(paragraphs, rng), picture);
    bytes += fs::file_size(docs.back());
  }
  const auto options = ToLatin();
  std::size_t recoded = 0;
  const double recode = Seconds(docs, [&](const fs::path& d) {
    recoded += uy::formats::RecodeByContent(d, dir / "recoded.docx", 1, nullptr).changed;
  });
  const double convert = Seconds(docs, [&](const fs::path& d) {
    uy::docscript::ConvertDocument(d, dir / "converted.docx", options);
  });
  fs::remove_all(dir);
  std::printf("%d documents, %.1f MB, %d paragraphs each\n", count, static_cast<double>(bytes) / 1e6, paragraphs);
  std::printf("recode (direction 1):     %8.1f documents/s (%zu characters recoded)\n", count / recode, recoded);
  std::printf("convert to Latin:         %8.1f documents/s\n", count / convert);
  std::printf("convert / recode time:    %8.2f (goal: at most 2)\n", convert / recode);
  return 0;
}

// The folder's documents the converter takes; the others are listed with the reason.
std::vector<fs::path> Convertible(const fs::path& folder, const fs::path& out) {
  std::vector<fs::path> docs;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file() && e.path().has_extension()) docs.push_back(e.path());
  std::sort(docs.begin(), docs.end());
  std::vector<fs::path> taken;
  for (const fs::path& d : docs) {
    try {
      uy::docscript::ConvertDocument(d, out / ("converted" + d.extension().string()), ToLatin());
      taken.push_back(d);
    } catch (const uy::FileError& e) {
      std::printf("left out: %s\n", e.what());
    }
  }
  return taken;
}

int Folder(const fs::path& folder, int rounds) {
  const fs::path dir = fs::temp_directory_path() / ("bench_docscript." + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::vector<fs::path> docs = Convertible(folder, dir);
  if (docs.empty()) return std::printf("no document of %s is converted\n", folder.c_str()), 1;
  const auto options = ToLatin();
  std::printf("%-14s %12s %12s %8s\n", "document", "recode/s", "convert/s", "ratio");
  double recode_all = 0, convert_all = 0;
  for (const fs::path& d : docs) {
    const std::vector<fs::path> one(static_cast<std::size_t>(rounds), d);
    const fs::path out = dir / ("out" + d.extension().string());
    const double recode = Seconds(one, [&](const fs::path& p) { uy::formats::RecodeByContent(p, out, 1, nullptr); });
    const double convert = Seconds(one, [&](const fs::path& p) { uy::docscript::ConvertDocument(p, out, options); });
    std::printf("%-14s %12.1f %12.1f %8.2f\n", d.filename().c_str(), rounds / recode, rounds / convert, convert / recode);
    recode_all += recode;
    convert_all += convert;
  }
  fs::remove_all(dir);
  const double n = static_cast<double>(docs.size()) * rounds;
  std::printf("%-14s %12.1f %12.1f %8.2f (goal: at most 2)\n", "all", n / recode_all, n / convert_all,
              convert_all / recode_all);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 40, paragraphs = 400, rounds = 200;
  const char* folder = nullptr;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--docs") == 0) count = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--paragraphs") == 0) paragraphs = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--folder") == 0) folder = argv[i + 1];
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  return folder ? Folder(folder, rounds) : Generated(count, paragraphs);
}
