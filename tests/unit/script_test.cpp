// SPDX-License-Identifier: GPL-3.0-or-later
// The script converter: the standards' worked examples (tests/data/script/examples.tests),
// round trips over real words, properties on random text, word lists and the decisions.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script.h"
#include "utf.h"

namespace {

using uy::script::Convert;
using uy::script::Options;
using uy::script::Script;
using uy::script::WordList;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> out(1);
  for (const char c : line) {
    if (c == sep) {
      out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  return out;
}

std::string Conv(const std::string& text, Script from, Script to, const WordList* words = nullptr,
                 bool e_acute = false) {
  Options o;
  o.from = from;
  o.to = to;
  o.words = words;
  o.e_acute = e_acute;
  return uy::ToUtf8(Convert(uy::FromUtf8(text), o));
}

std::string U2L(const std::string& t) { return Conv(t, Script::Uey, Script::Uly); }
std::string L2U(const std::string& t) { return Conv(t, Script::Uly, Script::Uey); }

TEST(ScriptExamples, EveryWorkedExamplePasses) {
  const std::string text = ReadFile(UY_TEST_DATA "/script/examples.tests");
  ASSERT_FALSE(text.empty());
  std::istringstream lines(text);
  std::string line;
  int rows = 0, listed = 0;
  std::map<std::string, int> per_direction;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const auto f = Split(line, '\t');
    ASSERT_GE(f.size(), 5u) << line;
    const auto dir = Split(f[1], '>');
    const auto from = uy::script::ParseScript(dir[0]), to = uy::script::ParseScript(dir[1]);
    ASSERT_TRUE(from && to) << line;
    const bool needs_list = f[4] == "list";
    const WordList* builtin = &WordList::BuiltIn();
    EXPECT_EQ(Conv(f[2], *from, *to, builtin), f[3]) << f[0] << " with the built-in list";
    if (!needs_list) {
      EXPECT_EQ(Conv(f[2], *from, *to), f[3]) << f[0] << " without a list";
    }
    ++rows;
    listed += needs_list;
    ++per_direction[f[1]];
  }
  EXPECT_EQ(rows, 250);
  EXPECT_EQ(per_direction.size(), 6u);
  std::cout << rows << " examples, " << listed << " of them with the built-in list\n";
}

// ---- Round trips ----

// A word of Uyghur shape: starts with a consonant or the carrier, every carrier before a vowel.
bool UyghurShape(std::u16string_view w) {
  auto vowel = [](char16_t c) {
    for (const auto& r : uy::script::kLetters)
      if (r.uey == c) return r.vowel;
    return false;
  };
  auto letter = [&](char16_t c) {
    if (c == uy::script::kCarrier) return true;
    for (const auto& r : uy::script::kLetters)
      if (r.uey == c) return true;
    return false;
  };
  if (w.empty() || vowel(w[0])) return false;
  for (std::size_t i = 0; i < w.size(); ++i) {
    if (!letter(w[i])) return false;
    if (w[i] == uy::script::kCarrier && (i + 1 == w.size() || !vowel(w[i + 1]))) return false;
  }
  return true;
}

TEST(ScriptRoundTrip, HeldOutWordsSurviveEveryScript) {
  const std::string text = ReadFile(UY_TEST_DATA "/detect/heldout-words.txt");
  std::istringstream lines(text);
  std::string word;
  int shaped = 0;
  while (std::getline(lines, word)) {
    const std::u16string w = uy::FromUtf8(word);
    if (!UyghurShape(w)) continue;
    ++shaped;
    for (const Script s : {Script::Uly, Script::Uky, Script::Uyy}) {
      Options out;
      out.to = s;
      Options back;
      back.from = s;
      back.to = Script::Uey;
      const std::u16string there = Convert(w, out);
      EXPECT_EQ(uy::ToUtf8(Convert(there, back)), word) << uy::script::Code(s) << ": " << uy::ToUtf8(there);
    }
  }
  EXPECT_GT(shaped, 2500);
}

// ---- Properties on random text ----

std::u16string RandomUyghurWord(std::mt19937& rng) {
  std::u16string w;
  const int letters = 1 + static_cast<int>(rng() % 9);
  for (int i = 0; i < letters; ++i) {
    const auto& row = uy::script::kLetters[rng() % uy::script::kLetters.size()];
    if (row.vowel && (i == 0 || rng() % 4 == 0)) w += uy::script::kCarrier;
    w += row.uey;
  }
  return w;
}

std::u16string RandomText(std::mt19937& rng, std::size_t words) {
  static const std::u16string pieces[] = {
      u" ", u" ", u" ", u". ", u"؟ ", u"، ", u"\n", u"\r\n", u"\"", u"«", u"»", u" Windows 10 ", u"3.14",
      u"1,500", u"\u200B\u0645\u0646 abc\uFEFF", u"\u0640", u"\u200C", u"ش ئۇ ئا ر", u"\uFEEB\uFEEE", u"Ж"};
  std::u16string t;
  for (std::size_t i = 0; i < words; ++i) {
    if (rng() % 3 == 0) {
      t += pieces[rng() % std::size(pieces)];
    } else {
      t += RandomUyghurWord(rng);
      t += u' ';
    }
  }
  return t;
}

void CheckPieces(const std::u16string& text, const Options& o, std::mt19937& rng) {
  std::vector<std::size_t> whole_map;
  const std::u16string whole = Convert(text, o, &whole_map);
  ASSERT_EQ(whole_map.size(), whole.size());
  for (std::size_t k = 1; k < whole_map.size(); ++k) ASSERT_LE(whole_map[k - 1], whole_map[k]);
  if (!whole_map.empty()) {
    ASSERT_LT(whole_map.back(), text.size());
  }
  uy::script::Converter c(o);
  std::u16string out;
  std::vector<std::size_t> map;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t len = std::min<std::size_t>(text.size() - pos, rng() % 12);
    c.Feed(std::u16string_view(text).substr(pos, len), out, &map);
    pos += len;
  }
  c.Finish(out, &map);
  ASSERT_EQ(out, whole);
  ASSERT_EQ(map, whole_map);
}

TEST(ScriptProperties, PiecesEqualWholeAndTheMapIsMonotone) {
  std::mt19937 rng(19);
  for (int round = 0; round < 60; ++round) {
    const std::u16string uey = RandomText(rng, 40);
    for (const Script to : {Script::Uly, Script::Uky, Script::Uyy}) {
      Options o;
      o.to = to;
      o.words = &WordList::BuiltIn();
      CheckPieces(uey, o, rng);
      const std::u16string other = Convert(uey, o);
      for (const Script to2 : {Script::Uey, Script::Uly, Script::Uky, Script::Uyy}) {
        if (to2 == to) continue;
        Options b;
        b.from = to;
        b.to = to2;
        b.words = &WordList::BuiltIn();
        CheckPieces(other, b, rng);
      }
    }
  }
}

TEST(ScriptProperties, RandomUyghurWordsComeBack) {
  std::mt19937 rng(2015);
  for (int i = 0; i < 3000; ++i) {
    const std::u16string w = RandomUyghurWord(rng);
    for (const Script s : {Script::Uly, Script::Uky, Script::Uyy}) {
      Options out;
      out.to = s;
      Options back;
      back.from = s;
      back.to = Script::Uey;
      ASSERT_EQ(Convert(Convert(w, out), back), w) << uy::script::Code(s) << " " << uy::ToUtf8(w);
    }
  }
}

TEST(ScriptProperties, WrappedForeignTextComesBackUnchanged) {
  std::mt19937 rng(3690);
  const std::u16string foreign[] = {u"Windows", u"Qt6", u"www.example.com", u"COVID-19", u"don't"};
  const std::u16string cyrillic[] = {u"Москва", u"Привет"};
  for (int i = 0; i < 300; ++i) {
    for (const Script s : {Script::Uly, Script::Uky, Script::Uyy}) {
      const std::u16string& f = s == Script::Uky ? cyrillic[rng() % 2] : foreign[rng() % 5];
      const std::u16string text = RandomUyghurWord(rng) + u" " + f + u" " + RandomUyghurWord(rng);
      Options out;
      out.to = s;
      const std::u16string there = Convert(text, out);
      EXPECT_NE(there.find(u'\u200B' + f + u'\uFEFF'), std::u16string::npos) << uy::ToUtf8(there);
      Options back;
      back.from = s;
      back.to = Script::Uey;
      EXPECT_EQ(Convert(there, back), text);
    }
  }
}

// ---- The rules and our decisions ----

TEST(ScriptRules, CapitalsOnlyInSentences) {
  EXPECT_EQ(U2L("ئالما"), "alma");                          // a word: lower case
  EXPECT_EQ(U2L("ئالما ۋە ئۆرۈك"), "alma we örük");         // a phrase
  EXPECT_EQ(U2L("ئالما. ئۆرۈك!"), "Alma. Örük!");           // sentences
  EXPECT_EQ(U2L("ئالما\nئۆرۈك."), "alma\nÖrük.");           // each line on its own
  EXPECT_EQ(U2L("«ئالما» دېدى"), "«Alma» dëdi");            // after an opening quote
  EXPECT_EQ(U2L("3.14 ئالما"), "3.14 alma");
  EXPECT_EQ(U2L("بىز. 2015-يىلى"), "Biz. 2015-yili");       // a number starts the sentence
}

TEST(ScriptRules, SeparatorsAndCarrier) {
  EXPECT_EQ(U2L("مەنغا"), "men'gha");   // ن+غ: our decision
  EXPECT_EQ(L2U("men'gha"), "مەنغا");
  EXPECT_EQ(L2U("mengha"), "مەڭھا");    // without the apostrophe: ڭ+ھ
  EXPECT_EQ(L2U("nemengan"), "نەمەڭان");
  EXPECT_EQ(L2U("sa’et"), "سائەت");     // apostrophe variants
  EXPECT_EQ(L2U("saʼet saʻet sa`et"), "سائەت سائەت سائەت");
  EXPECT_EQ(L2U("it'k"), "ئىت'ك");      // anywhere else kept
  EXPECT_EQ(U2L("ئ"), "'");
}

TEST(ScriptRules, OtherCharacters) {
  EXPECT_EQ(U2L("ئا\u0640نار"), "anar");                         // tatweel dropped
  EXPECT_EQ(U2L("ئا\u200Cنار"), "a\u200Cnar");                   // format controls kept
  EXPECT_EQ(U2L("\uFE8B\uFE8E\uFEE7\uFE8E\uFEAE"), "anar");      // presentation forms folded
  EXPECT_EQ(U2L("\u200Bئانار\uFEFF ئانار"), "ئانار anar");       // a wrapped span copied
  EXPECT_EQ(U2L("\u200Bئانار"), "\u200Banar");                   // a lone U+200B is a control
  EXPECT_EQ(U2L("(ئانار) [x]"), "(anar) [\u200Bx\uFEFF]");       // mirrored characters kept
  EXPECT_EQ(L2U("1,500 som, 2 alma"), "1,500 سوم، 2 ئالما");     // digit separators kept
  EXPECT_EQ(L2U("men ئانار"), "مەن \u200Bئانار\uFEFF");
  EXPECT_EQ(Conv("Windows", Script::Uey, Script::Uky), "Windows");  // 3691 §6.8.6
}

TEST(ScriptRules, PersianLettersAndEAcute) {
  EXPECT_EQ(U2L("ئۆيه شاهىر"), "öye shahir");  // ه: ە at a word end, ھ elsewhere
  EXPECT_EQ(U2L("کیتاب"), "kitab");        // ک ی
  EXPECT_EQ(L2U("élan"), "ئېلان");
  EXPECT_EQ(Conv("ئېلان", Script::Uey, Script::Uly, nullptr, true), "élan");
}

TEST(ScriptRules, AcronymsNumeralsLetterNames) {
  EXPECT_EQ(L2U("ShUAR we JKP"), "ش ئۇ ئا ر ۋە ج ك پ");
  EXPECT_EQ(L2U("XX esir, DVD, IV bab"), "XX ئەسىر، DVD، IV باب");
  EXPECT_EQ(L2U("U keldi"), "ئۇ كەلدى");   // a single capital is a letter
  EXPECT_EQ(L2U("Facebook"), "Facebook");  // a letter outside the alphabet: a foreign word
  EXPECT_EQ(U2L("ئۇ كەلدى"), "u keldi");
}

TEST(ScriptRules, CyrillicExtras) {
  const auto k2u = [](const std::string& t) { return Conv(t, Script::Uky, Script::Uey); };
  EXPECT_EQ(k2u("цех"), "سېخ");             // word-initial ц: س
  EXPECT_EQ(k2u("ящик"), "ياچىك");          // щ: چ
  EXPECT_EQ(k2u("съезд"), "سېزد");          // ъ dropped
  EXPECT_EQ(k2u("эл"), "ئېل");
  EXPECT_EQ(Conv("تسىرك", Script::Uey, Script::Uky), "тсирк");  // تس at a word start
}

TEST(ScriptRules, ChainsGoThroughArabicScript) {
  EXPECT_EQ(Conv("Men mektepte oquymen.", Script::Uly, Script::Uky), "Мән мәктәптә оқуймән.");
  EXPECT_EQ(Conv("Mən məktəptə oⱪuymən.", Script::Uyy, Script::Uly), "Men mektepte oquymen.");
  EXPECT_THROW(Conv("x", Script::Uly, Script::Uly), std::invalid_argument);
}

TEST(ScriptWordList, FileLinesAndErrors) {
  WordList list;
  list.AddText("# loanwords\nسىرك\tцирк\nپاسخا بايرىمى\tPas'ha Bayrimi  # a festival\n\n", "w.txt",
               {Script::Uyy});
  EXPECT_EQ(list.size(), 2u);
  EXPECT_EQ(Conv("سىرك", Script::Uey, Script::Uky, &list), "цирк");
  EXPECT_EQ(Conv("ЦИРК цирки", Script::Uky, Script::Uey, &list), "سىرك سىركى");
  EXPECT_EQ(Conv("پاسخا بايرىمى", Script::Uey, Script::Uyy, &list), "Pas'ha Bayrimi");
  auto error = [](const std::string& text) {
    try {
      WordList l;
      l.AddText(text, "w.txt", {Script::Uly});
    } catch (const uy::script::WordListError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(error("ok ok\n"), "w.txt:1: the first side must be Arabic-script letters (words with single spaces between)");
  EXPECT_EQ(error("# c\nسىرك\n"), "w.txt:2: expected two words, or two sides separated by a tab");
  EXPECT_EQ(error("سىرك a b\n"), "w.txt:1: expected two words, or two sides separated by a tab");
  EXPECT_EQ(error("سىرك \xFF\n"), "w.txt:1: not valid UTF-8");
  EXPECT_EQ(error("سىرك سىرك\n"), "w.txt:1: the second side holds Arabic script");
}

TEST(ScriptDetect, LettersTellTheScript) {
  using uy::script::DetectScript;
  EXPECT_EQ(DetectScript(u"مەن مەكتەپتە ئوقۇيمەن، Windows").script, Script::Uey);
  EXPECT_EQ(DetectScript(u"Mən məktəptə").script, Script::Uyy);
  EXPECT_EQ(DetectScript(u"Men ëgiz").script, Script::Uly);
  const auto assumed = DetectScript(u"Men mektepte oquymen");
  EXPECT_EQ(assumed.script, Script::Uly);
  EXPECT_TRUE(assumed.assumed);
  EXPECT_EQ(DetectScript(u"Мән мәктәптә").script, Script::Uky);
  EXPECT_FALSE(DetectScript(u"Мән мәктәптә Men mektepte").script);
  EXPECT_FALSE(DetectScript(u"123 !").script);
}

}  // namespace
