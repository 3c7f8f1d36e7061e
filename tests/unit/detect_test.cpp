// SPDX-License-Identifier: GPL-3.0-or-later
// The encoding detector, `uyconv detect` and the recode guard, on documents made from
// real Uyghur words that the detector's letter-pair table was not built from.
#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "detect.h"
#include "file_io.h"
#include "document_builders.h"
#include "tables.h"
#include "utf.h"

namespace {

using namespace uytest;

const std::vector<std::u16string>& Words() {
  static const std::vector<std::u16string> words = [] {
    std::vector<std::u16string> w;
    std::ifstream in(fs::path(UY_TEST_DATA) / "detect" / "heldout-words.txt");
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) w.push_back(uy::FromUtf8(line));
    return w;
  }();
  return words;
}

// `count` held-out words as running text, picked by a fixed sequence from `seed`, only
// those that `keep` accepts.
template <typename Keep>
std::u16string Text(int count, unsigned seed, Keep keep) {
  const auto& words = Words();
  std::u16string t;
  std::uint32_t x = seed * 2654435761u + 1;
  for (int n = 0; n < count;) {
    x = x * 1664525u + 1013904223u;
    const std::u16string& w = words[(x >> 8) % words.size()];
    if (!keep(w)) continue;
    t += w;
    ++n;
    t += n % 9 == 0 ? u". " : n % 4 == 0 ? u"\u060C " : u" ";
  }
  return t;
}
std::u16string Text(int count, unsigned seed) {
  return Text(count, seed, [](const std::u16string&) { return true; });
}

// The encodings documents are made in: -1 Unicode, else the direction that reads them.
struct Source {
  const char* name;
  int direction;
};
constexpr std::array<Source, 7> kSources = {{{"Unicode", -1},
                                             {"Korveli 3.9", 0},
                                             {"Sorvan", 2},
                                             {"Tekmir", 4},
                                             {"Hovuran", 5},
                                             {"Zeynek", 6},
                                             {"Qarvat 2000", 7}}};
constexpr std::array<int, 5> kCandidates = {-1, 0, 2, 4, 6};

std::u16string Decode(std::u16string s, int direction) {
  if (direction >= 0)
    for (char16_t& c : s) c = rc::RecodeUnit(direction, c);
  return s;
}
// What a typist in that encoding stores: each letter at the place the table reads it from.
std::u16string Encode(std::u16string s, int direction) {
  if (direction < 0) return s;
  for (char16_t& c : s)
    for (const rc::Pair& p : rc::GetDirection(direction).pairs)
      if (p.to == c) {
        c = p.from;
        break;
      }
  return s;
}
std::string VerdictOf(int direction) { return direction < 0 ? "unicode" : "direction " + std::to_string(direction); }

namespace pairs {
#include "letter_pairs.inc"
}

// Whether a typist of this candidate's encoding could have stored `stored`: decoded, it
// holds no Arabic letter outside the Uyghur alphabet, and no unit sits where Unicode keeps
// a letter that the encoding keeps elsewhere.
bool Consistent(const std::u16string& stored, int direction) {
  for (char16_t u : stored) {
    const char16_t v = direction < 0 ? u : rc::RecodeUnit(direction, u);
    const bool arabic_letter = (v >= 0x0621 && v <= 0x064A) || (v >= 0x066E && v <= 0x06D5);
    if (arabic_letter && std::find(std::begin(pairs::kUyghurLetters), std::end(pairs::kUyghurLetters), v) ==
                             std::end(pairs::kUyghurLetters))
      return false;
    if (direction >= 0 && v == u)
      for (const rc::Pair& p : rc::GetDirection(direction).pairs)
        if (p.to == u) return false;
  }
  return true;
}

// The right verdict: the table of the document's own encoding, or the lower table of
// its pair (Korveli 3.9 for Tekmir, Sorvan for Zeynek) when no unit rules that one out.
std::string Reference(const std::u16string& stored, int made_in) {
  if (made_in < 0) return "unicode";
  const int own = made_in == 5 ? 2 : made_in == 7 ? 6 : made_in;
  const int lower = own == 4 ? 0 : own == 6 ? 2 : own;
  return VerdictOf(Consistent(stored, lower) ? lower : own);
}

bool Has(const std::u16string& w, char16_t c) { return w.find(c) != std::u16string::npos; }

TEST(Detector, ConfusionTableOnHeldOutWords) {
  struct Length {
    const char* name;
    int words;
    int samples;
    double least;  // share of right verdicts required
  };
  const Length lengths[] = {{"phrase (3 words)", 3, 150, 0.9}, {"sentence (8 words)", 8, 150, 0.98}, {"paragraph (60 words)", 60, 30, 1.0},
                            {"page (350 words)", 350, 6, 1.0}};
  const std::vector<std::string> columns = {"unicode", "direction 0", "direction 2", "direction 4", "direction 6", "unknown"};
  for (const Length& len : lengths) {
    std::map<std::string, std::map<std::string, int>> table;
    int right = 0, total = 0;
    for (const Source& src : kSources) {
      for (int k = 0; k < len.samples; ++k) {
        const std::u16string text = Text(len.words, static_cast<unsigned>(k * 31 + src.direction + 7));
        const std::u16string stored = Encode(text, src.direction);
        const fm::Detection d = fm::DetectText(stored);
        ++table[src.name][d.Text()];
        ++total;
        right += d.Text() == Reference(stored, src.direction);
      }
    }
    std::printf("\n%s: %d of %d right (%.1f%%); rows: made in, columns: verdict\n%-12s", len.name, right, total,
                100.0 * right / total, "");
    for (const auto& c : columns) std::printf("%13s", c.c_str());
    for (const Source& src : kSources) {
      std::printf("\n%-12s", src.name);
      for (const auto& c : columns) std::printf("%13d", table[src.name][c]);
    }
    std::printf("\n");
    EXPECT_GE(right, len.least * total) << len.name;
  }
}

// Each verdict, where the text gives the evidence for it; ties go to the lowest direction.
TEST(Detector, EveryCandidateAndTheLowestOfTies) {
  const auto any = [](const std::u16string&) { return true; };
  struct Case {
    int made_in;
    std::function<bool(const std::u16string&)> keep;
    std::string verdict;
  };
  const auto with = [](char16_t letter) { return [letter](const std::u16string& w) { return Has(w, letter); }; };
  const Case cases[] = {
      {-1, any, "unicode"},
      {0, with(u'\u0686'), "direction 0"},  // چ stored at U+062D
      {2, any, "direction 2"},
      {5, any, "direction 2"},               // the same table as Sorvan
      {4, with(u'\u0686'), "direction 4"},  // چ stored where Unicode has it
      {6, with(u'\u0698'), "direction 6"},  // ژ stored at U+0622
      {7, [](const std::u16string& w) { return !Has(w, u'\u0698'); }, "direction 2"},  // no ژ: no evidence
  };
  for (const Case& c : cases) {
    const fm::Detection d = fm::DetectText(Encode(Text(55, 5, c.made_in == 7 ? c.keep : any) + Text(5, 6, c.keep), c.made_in));
    EXPECT_EQ(d.Text(), c.verdict) << "made in direction " << c.made_in;
    EXPECT_GE(d.confidence, fm::kClearConfidence) << c.verdict;
  }
}

TEST(Detector, TooLittleOrNoUyghurTextIsUnknown) {
  const std::u16string texts[] = {u"", u"Plain Latin text, and digits 0123456789.", u"\u0626\u0648 \u0628\u0648",
                                  // Arabic letters Uyghur never writes, however read
                                  u"\u0637\u0637\u0637\u0637 \u0637\u0637\u0637\u0637 \u0637\u0637\u0637\u0637"};
  for (const std::u16string& t : texts) {
    const fm::Detection d = fm::DetectText(t);
    EXPECT_EQ(d.Text(), "unknown") << uy::ToUtf8(t);
    EXPECT_EQ(d.confidence, 0.0);
  }
}

// Unicode text recoded in a direction into Unicode keeps only Uyghur letters, but in
// places Uyghur never has them: the detector does not take it for clean Unicode.
TEST(Detector, TextGarbledByAWrongDirectionIsNotClearUnicode) {
  const std::u16string text = Text(60, 3);
  EXPECT_EQ(fm::DetectText(text).Text(), "unicode");
  const std::u16string garbled = Decode(text, 0);
  ASSERT_NE(garbled, text);
  const fm::Detection d = fm::DetectText(garbled);
  EXPECT_FALSE(d.verdict == fm::Detection::Verdict::kUnicode && d.confidence >= fm::kClearConfidence)
      << d.Text() << " " << d.confidence;
}

// Documents

std::string Docx(const std::u16string& text) {
  std::string body;
  for (std::size_t at = 0; at < text.size(); at += 40)  // runs of 40 characters
    body += "<w:r><w:t xml:space=\"preserve\">" + uy::ToUtf8(text.substr(at, 40)) + "</w:t></w:r>";
  return MakeZip({{"[Content_Types].xml", "<?xml version=\"1.0\"?><Types/>"},
                  {"word/styles.xml", "<?xml version=\"1.0\"?><w:styles/>"},
                  {"word/document.xml", "<?xml version=\"1.0\"?><w:document><w:body><w:p>" + body +
                                            "</w:p></w:body></w:document>"}});
}

// A word-processor document: its file information block points at one piece of 16-bit
// text through the piece table in "1Table".
std::string Doc(const std::u16string& text) {
  std::string wd(1024, '\0');
  wd[0] = '\xEC', wd[1] = '\xA5', wd[2] = '\xC1', wd[3] = 0, wd[0x0B] = 0x02;  // 97 and up, 1Table
  std::string fib;
  Put16(fib, 0), Put16(fib, 0), Put16(fib, 34);  // no 16-bit or 32-bit fields; 34 pairs
  std::string pairs(34 * 8, '\0');
  std::string clx;
  clx.push_back('\x02');
  Put32(clx, 4 * 2 + 8);
  Put32(clx, 0), Put32(clx, static_cast<std::uint32_t>(text.size()));
  Put16(clx, 0), Put32(clx, 1024), Put16(clx, 0);
  std::string at;
  Put32(at, 0), Put32(at, static_cast<std::uint32_t>(clx.size()));
  pairs.replace(33 * 8, 8, at);
  wd.replace(32, fib.size() + pairs.size(), fib + pairs);
  wd += uytest::Utf16Le(text);
  return uytest::WriteCompoundFile({{"WordDocument", wd}, {"1Table", clx + std::string(600, '\0')}});
}

std::string Html(const std::u16string& text) {  // half the text as character references
  std::string out = "<html><body><p>";
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i % 2 && text[i] >= 0x0600) out += "&#" + std::to_string(static_cast<unsigned>(text[i])) + ";";
    else out += uy::ToUtf8(text.substr(i, 1));
  }
  return out + "</p></body></html>";
}

std::string Rtf(const std::u16string& text) {
  std::string out = "{\\rtf1\\ansi\\uc1 ";
  for (char16_t c : text) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : "\\u" + std::to_string(static_cast<int>(c)) + "?";
  return out + "}";
}

std::string UnitPass(const std::u16string& text) {  // a header, then bare units
  return uytest::RandomBytes(2560, 9) + uytest::Utf16Le(text) + std::string(3, '\0');
}

struct Kind {
  const char* name;
  std::string (*make)(const std::u16string&);
};
const Kind kKinds[] = {
    {"txt", [](const std::u16string& t) { return uy::ToUtf8(t); }},
    {"utf16.txt", [](const std::u16string& t) { return "\xFF\xFE" + uytest::Utf16Le(t); }},
    {"html", Html},
    {"rtf", Rtf},
    {"docx", Docx},
    {"doc", Doc},
    {"bin", UnitPass},
};

TEST(DetectDocument, EveryKindInEveryEncodingAndTheCommand) {
  TempDir dir;
  std::vector<std::string> args = {uytest::kUyconv, "detect"};
  std::map<std::string, std::string> expected;
  int n = 0;
  for (const Source& src : kSources) {
    const std::u16string text = Text(40, static_cast<unsigned>(100 + src.direction));
    const std::u16string stored = Encode(text, src.direction);
    for (const Kind& k : kKinds) {
      const fs::path p = dir / (std::to_string(n++) + "." + k.name);
      WriteFile(p, k.make(stored));
      const fm::Detection d = fm::DetectDocument(p);
      EXPECT_EQ(d.Text(), Reference(stored, src.direction)) << src.name << " as " << k.name;
      args.push_back(p.string());
      expected[p.string()] = d.Text();
    }
  }
  auto r = uytest::RunProgram(args);
  EXPECT_EQ(r.status, 0) << r.err;
  std::size_t lines = 0;
  for (std::size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
    const std::string line = r.out.substr(at, end - at);
    const std::size_t t1 = line.find('\t'), t2 = line.rfind('\t');
    ASSERT_NE(t1, t2) << line;
    EXPECT_EQ(line.substr(t1 + 1, t2 - t1 - 1), expected[line.substr(0, t1)]) << line;
    const double confidence = std::stod(line.substr(t2 + 1));
    EXPECT_TRUE(confidence > 0.0 && confidence <= 1.0) << line;
  }
  EXPECT_EQ(lines, expected.size());

  // An unknown verdict or an unreadable file: exit status 1, the others still printed.
  WriteFile(dir / "latin.txt", "nothing Uyghur here\n");
  r = uytest::RunProgram({uytest::kUyconv, "detect", (dir / "latin.txt").string(), (dir / "missing").string(),
                          args[2]});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find((dir / "latin.txt").string() + "\tunknown\t0.000\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(args[2] + "\t"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("missing"), std::string::npos) << r.err;
}

// Whatever the recoder refuses as damaged or encrypted, detect refuses with the same
// reason, rather than a verdict read from the damaged structure or from the raw bytes.
TEST(DetectDocument, DamagedDocumentsAreRefusedAsTheRecoderRefusesThem) {
  TempDir dir;
  const std::string text = "<a>" + uy::ToUtf8(Encode(Text(40, 1), 0)) + "</a>";
  const std::string zip = MakeZip({{"a.xml", text}, {"b.xml", text}});
  const std::size_t central = zip.find("PK\x01\x02");
  auto with = [](std::string z, std::size_t at, std::string_view bytes) { return z.replace(at, bytes.size(), bytes); };
  std::string twice = zip, crc = MakeZip({{"a.xml", text, true}}), locked = zip, overlap = zip;
  for (std::size_t at; (at = twice.find("b.xml")) != std::string::npos;) twice[at] = 'a';
  crc[30 + 5 + 20] ^= 0x01;  // inside the stored data
  for (std::size_t at = 0; (at = locked.find("PK", at)) != std::string::npos; at += 2) {
    if (locked.compare(at, 4, "PK\x03\x04") == 0) locked[at + 6] |= 1;   // the encrypted flag
    if (locked.compare(at, 4, "PK\x01\x02") == 0) locked[at + 8] |= 1;
  }
  // The second entry of the directory points at the first part (crafted archives do it
  // 64 times over one large part).
  const std::size_t second = zip.find("PK\x01\x02", central + 4);
  overlap = with(overlap, second + 42, std::string(4, '\0'));
  const struct {
    const char* name;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"cut.zip", "PK\x03\x04" + std::string(200, 'x'), "no end of directory record"},
      {"twice.zip", twice, "two of its parts are named a.xml"},
      {"crc.zip", crc, "CRC error"},
      {"locked.zip", locked, "encrypted"},
      {"overlap.zip", overlap, "the parts a.xml and b.xml of the archive overlap"},
      {"stub.zip", "MZ" + std::string(4094, '\x90') + zip, "a self-extracting archive?"},
      {"chain.doc", Doc(Encode(Text(40, 1), 0)).substr(0, 1536), "a damaged compound file"},
  };
  for (const auto& c : cases) {
    WriteFile(dir / c.name, c.bytes);
    for (const bool detect : {true, false}) {
      try {
        if (detect) fm::DetectDocument(dir / c.name);
        else fm::RecodeByContent(dir / c.name, dir / "out", 0, nullptr);
        ADD_FAILURE() << c.name << (detect ? " was detected" : " was recoded");
      } catch (const uy::FileError& e) {
        EXPECT_NE(std::string(e.what()).find(c.name), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
      }
    }
  }
  EXPECT_FALSE(fs::exists(dir / "out"));
  // uyconv detect says why on standard error.
  const auto r = RunProgram({kUyconv, "detect", (dir / "twice.zip").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("twice.zip: the document is damaged"), std::string::npos) << r.err;
}

// A 1 GB file: the verdict comes from its first megabytes; text past the cap is not read.
TEST(DetectDocument, ReadsOnlyWhatItNeedsOfAHugeFile) {
  TempDir dir;
  const std::string zeynek = uytest::Utf16Le(Encode(Text(40, 2, [](const std::u16string& w) { return !Has(w, u'\u0698'); }), 6));
  const std::string jeh = uytest::Utf16Le(u" \u0622\u06C7\u0631\u0646\u0627\u0644 ");  // ژۇرنال as Zeynek types it
  auto sparse = [&](const fs::path& p, const std::string& start, const std::string& end) {
    WriteFile(p, std::string(2560, '\x01') + start);
    const int fd = ::open(p.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const off_t size = off_t{1} << 30;
    ASSERT_EQ(::pwrite(fd, end.data(), end.size(), size - static_cast<off_t>(end.size())), static_cast<ssize_t>(end.size()));
    ::close(fd);
  };
  std::string many;
  while (many.size() < (std::size_t{1} << 20)) many += zeynek;
  sparse(dir / "a.bin", many, jeh);  // ties with Sorvan: stops after enough letters
  EXPECT_EQ(fm::DetectDocument(dir / "a.bin").Text(), "direction 2");
  sparse(dir / "b.bin", "", many);  // text only at the end, past the cap
  EXPECT_EQ(fm::DetectDocument(dir / "b.bin").Text(), "unknown");
  sparse(dir / "c.bin", zeynek + jeh, "");  // the evidence early on
  EXPECT_EQ(fm::DetectDocument(dir / "c.bin").Text(), "direction 6");
}

TEST(RecodeGuard, ContradictingDirectionsAreFailuresUnlessForced) {
  TempDir dir;
  const std::u16string text = Text(40, 11);
  WriteFile(dir / "uni.txt", uy::ToUtf8(text));
  WriteFile(dir / "old.txt", uy::ToUtf8(Encode(text, 2)));
  WriteFile(dir / "short.txt", uy::ToUtf8(u"\u0626\u0648"));  // too little to tell: recoded
  struct Case {
    const char* file;
    const char* direction;
    bool force;
    const char* refusal;  // nullptr: recoded
    const char* output;
  };
  const Case cases[] = {
      {"uni.txt", "0", false, "looks like Unicode text already", "uni(Unicode).txt"},
      {"uni.txt", "5", false, "looks like Unicode text already", "uni(Unicode).txt"},
      {"uni.txt", "0", true, nullptr, "uni(Unicode).txt"},
      {"uni.txt", "1", false, nullptr, "uni(Korveli).txt"},
      {"old.txt", "2", false, nullptr, "old(Unicode).txt"},
      {"old.txt", "1", false, "looks like a legacy encoding (direction 2", "old(Korveli).txt"},
      {"old.txt", "3", false, "looks like a legacy encoding", "old(Unicode).txt"},
      {"short.txt", "0", false, nullptr, "short(Unicode).txt"},
  };
  for (const Case& c : cases) {
    fs::remove(dir / c.output);
    std::vector<std::string> argv = {uytest::kUyconv, "recode", "-d", c.direction, (dir / c.file).string()};
    if (c.force) argv.push_back("--force");
    const auto r = uytest::RunProgram(argv);
    const std::string label = std::string(c.file) + " -d " + c.direction;
    if (c.refusal) {
      EXPECT_EQ(r.status, 1) << label;
      EXPECT_NE(r.err.find((dir / c.file).string() + ": " + c.refusal), std::string::npos) << label << ": " << r.err;
      EXPECT_FALSE(fs::exists(dir / c.output)) << label;
    } else {
      EXPECT_EQ(r.status, 0) << label << ": " << r.err;
      EXPECT_TRUE(fs::exists(dir / c.output)) << label;
    }
  }
}

}  // namespace
