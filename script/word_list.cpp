// SPDX-License-Identifier: GPL-3.0-or-later
// Word lists, and the built-in one: only words the standards' own worked examples (示例)
// spell otherwise than the rules do, each with the example it comes from.
#include <algorithm>
#include <string>

#include "script.h"
#include "script_tables.h"

namespace uy::script {
namespace {

using namespace detail;

struct BuiltInPair {
  Script script;
  const char16_t* uey;
  const char16_t* spelling;
  // why: the example (standard, 示例 number)
};

constexpr BuiltInPair kBuiltIn[] = {
    // Latin, 3690: proper nouns (§5.3) of the examples.
    {Script::Uly, u"ئالىم", u"Alim"},                                                    // 4
    {Script::Uly, u"تۇرپان", u"Turpan"},                                                 // 4
    {Script::Uly, u"شىنجاڭ", u"Shinjang"},                                               // 20
    {Script::Uly, u"ئۇيغۇر", u"Uyghur"},                                                 // 5
    {Script::Uly, u"شىنجاڭ ئۇيغۇر ئاپتونوم رايونى", u"Shinjang Uyghur Aptonom Rayoni"},  // 5
    {Script::Uly, u"ئەسئەت", u"Es'et"},                                                  // 31
    {Script::Uly, u"ئەزھەر", u"Ez'her"},                                                 // 7, 38
    {Script::Uly, u"ئىسھاق", u"Is'haq"},                                                 // 39
    {Script::Uly, u"نەمەنگان", u"Nemen'gan"},                                            // 40
    // Cyrillic, 3691: loanwords (§6.2.2-§6.2.7, §6.5) and proper nouns.
    {Script::Uky, u"ئالىم", u"Алим"},           // 4
    {Script::Uky, u"تۇرپان", u"Турпан"},        // 4
    {Script::Uky, u"سىرك", u"цирк"},            // 11, 76
    {Script::Uky, u"ئىشپىيون", u"ишпион"},      // 13
    {Script::Uky, u"جىياڭشى", u"Җияңщи"},       // 14
    {Script::Uky, u"جياڭشى", u"Җяңщи"},         // 57
    {Script::Uky, u"چوتكا", u"щетка"},          // 16, 56
    {Script::Uky, u"ئېكۋاتور", u"экватор"},     // 30, 71
    {Script::Uky, u"ئاۋىياتسىيە", u"авиация"},  // 34
    {Script::Uky, u"ئەسئەت", u"Әс'әт"},         // 36, 80
    {Script::Uky, u"سارتسىن", u"Сарцин"},       // 43, 75
    {Script::Uky, u"مەنئىي", u"мәнъий"},        // 44, 77
    {Script::Uky, u"رېلىس", u"рельс"},          // 45, 78
    // New Script, 3689: Chinese and other names (§6.2.2-§6.2.7, §6.5.3) and proper nouns.
    {Script::Uyy, u"ئالىم", u"Alim"},                     // 4
    {Script::Uyy, u"تۇرپان", u"Turpan"},                  // 4
    {Script::Uyy, u"جۇ دې", u"Zhu De"},                   // 14, 72
    {Script::Uyy, u"چاڭشا", u"Changsha"},                 // 16
    {Script::Uyy, u"سەي ئې", u"Cai E"},                   // 18
    {Script::Uyy, u"شاڭخەي", u"Shanghai"},                // 20, 74
    {Script::Uyy, u"ۋيېتنام", u"Vyetnam"},                // 27
    {Script::Uyy, u"شىنجاڭ", u"Xinjang"},                 // 28, 71
    {Script::Uyy, u"ئەسئەت", u"Əs'ət"},                   // 38
    {Script::Uyy, u"نەمەنگان", u"Nəmən'gan"},             // 45, 75
    {Script::Uyy, u"ئۆزخان", u"Ɵz'han"},                  // 46, 76
    {Script::Uyy, u"پاسخا بايرىمى", u"Pas'ha Bayrimi"},   // 47
    {Script::Uyy, u"ج ك پ", u"ZhKP"},                     // 48
};

std::size_t Index(Script s) { return static_cast<std::size_t>(s); }

std::u16string_view FirstWord(std::u16string_view s) { return s.substr(0, s.find(u' ')); }

bool Arabic(char16_t c) {
  const std::uint8_t k = FwdTable()[c];
  return k == kUey || k == kArabic || k == kForm || k == kMark || k == kTatweel || k == kArabicPunct;
}

// UTF-8 to UTF-16; false on a malformed sequence.
bool DecodeUtf8(std::string_view in, std::u16string& out) {
  out.clear();
  for (std::size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    std::uint32_t cp;
    std::size_t len;
    if (b < 0x80) cp = b, len = 1;
    else if (b >= 0xC2 && b <= 0xDF) cp = b & 0x1F, len = 2;
    else if (b >= 0xE0 && b <= 0xEF) cp = b & 0x0F, len = 3;
    else if (b >= 0xF0 && b <= 0xF4) cp = b & 0x07, len = 4;
    else return false;
    if (i + len > in.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
      return false;
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += len;
  }
  return true;
}

std::u16string Squeeze(std::u16string_view s) {
  std::u16string out;
  for (const char16_t c : s) {
    const bool space = c == u' ' || c == u'\t';
    if (space && (out.empty() || out.back() == u' ')) continue;
    out += space ? u' ' : c;
  }
  while (!out.empty() && out.back() == u' ') out.pop_back();
  return out;
}

}  // namespace

std::size_t WordList::Side::Hash::operator()(std::u16string_view s) const noexcept {
  std::size_t h = 1469598103934665603ull;
  for (const char16_t c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

WordList::WordList() = default;
WordList::~WordList() = default;
WordList::WordList(WordList&&) noexcept = default;
WordList& WordList::operator=(WordList&&) noexcept = default;

const WordList::PerScript* WordList::For(Script script) const { return scripts_[Index(script)].get(); }

std::size_t WordList::size() const {
  std::size_t n = 0;
  for (const auto& p : scripts_)
    if (p) n += p->entries.size();
  return n;
}

bool WordList::Add(Script script, std::u16string_view uey, std::u16string_view spelling, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (script == Script::Uey) return fail("the other side must be Latin, Cyrillic or New Script");
  if (uey.empty() || spelling.empty()) return fail("a side is empty");
  for (std::size_t i = 0; i < uey.size(); ++i) {
    const char16_t c = uey[i];
    if (c == u' ' ? i == 0 || i + 1 == uey.size() || uey[i - 1] == u' ' : !Arabic(c) || FwdTable()[c] == kArabicPunct)
      return fail("the first side must be Arabic-script letters (words with single spaces between)");
  }
  for (std::size_t i = 0; i < spelling.size(); ++i) {
    const char16_t c = spelling[i];
    if (Arabic(c)) return fail("the second side holds Arabic script");
    if (c < 0x20 || (c == u' ' && (i == 0 || i + 1 == spelling.size() || spelling[i - 1] == u' ')))
      return fail("the second side must be words with single spaces between");
  }
  auto& slot = scripts_[Index(script)];
  if (!slot) slot = std::make_unique<PerScript>();
  PerScript& p = *slot;
  Entry entry{std::u16string(uey), std::u16string(spelling), {}};
  for (const char16_t c : spelling)
    entry.folded += kApostropheVariants.find(c) != std::u16string_view::npos ? u'\'' : ToLower(c);
  const auto index = static_cast<std::uint32_t>(p.entries.size());
  bool used = false;
  // Each side's entries under the first word, the longest first; an equal one already there wins.
  auto insert = [&](Side& side, std::u16string_view key, auto length) {
    auto& list = side.by_first_word[std::u16string(FirstWord(key))];
    for (const std::uint32_t e : list)
      if (length(p.entries[e]) == key) return;
    auto at = std::find_if(list.begin(), list.end(),
                           [&](std::uint32_t e) { return length(p.entries[e]).size() < key.size(); });
    list.insert(at, index);
    const std::u16string_view first = FirstWord(key);
    side.prefix.set(Side::PrefixKey(first[0], first.size() > 1 ? first[1] : u'\0', first.size()));
    used = true;
  };
  p.entries.push_back(entry);
  insert(p.forward, p.entries.back().uey, [](const Entry& e) -> const std::u16string& { return e.uey; });
  insert(p.backward, p.entries.back().folded, [](const Entry& e) -> const std::u16string& { return e.folded; });
  if (!used) p.entries.pop_back();
  return true;
}

void WordList::AddText(std::string_view utf8, const std::string& name, const std::vector<Script>& latin) {
  std::size_t number = 0;
  std::u16string line;
  while (!utf8.empty()) {
    ++number;
    const std::size_t nl = utf8.find('\n');
    std::string_view raw = utf8.substr(0, nl);
    utf8 = nl == std::string_view::npos ? std::string_view() : utf8.substr(nl + 1);
    if (number == 1 && raw.substr(0, 3) == "\xEF\xBB\xBF") raw.remove_prefix(3);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    auto fail = [&](const std::string& why) {
      throw WordListError(name + ":" + std::to_string(number) + ": " + why);
    };
    if (!DecodeUtf8(raw, line)) fail("not valid UTF-8");
    // A comment: # at the line start or after a space or tab.
    for (std::size_t i = 0; i < line.size(); ++i)
      if (line[i] == u'#' && (i == 0 || line[i - 1] == u' ' || line[i - 1] == u'\t')) {
        line.resize(i);
        break;
      }
    std::u16string left, right;
    if (const std::size_t tab = line.find(u'\t'); tab != std::u16string::npos) {
      left = Squeeze(std::u16string_view(line).substr(0, tab));
      right = Squeeze(std::u16string_view(line).substr(tab + 1));
      if (left.empty() && right.empty()) continue;
    } else {
      const std::u16string words = Squeeze(line);
      if (words.empty()) continue;
      const std::size_t space = words.find(u' ');
      if (space == std::u16string::npos || words.find(u' ', space + 1) != std::u16string::npos)
        fail("expected two words, or two sides separated by a tab");
      left = words.substr(0, space);
      right = words.substr(space + 1);
    }
    if (left.empty() || right.empty()) fail("a side is empty");
    bool cyrillic = false;
    for (const char16_t c : right) cyrillic |= FwdTable()[c] == kCyrillic;
    std::string error;
    if (cyrillic) {
      if (!Add(Script::Uky, left, right, &error)) fail(error);
    } else {
      // A run without a Latin script keeps its Latin pairs (checked) under ULY, unused.
      for (const Script s : latin.empty() ? std::vector<Script>{Script::Uly} : latin)
        if (!Add(s, left, right, &error)) fail(error);
    }
  }
}

void WordList::Merge(const WordList& other) {
  for (std::size_t s = 1; s < 4; ++s)
    if (other.scripts_[s])
      for (const Entry& e : other.scripts_[s]->entries) Add(static_cast<Script>(s), e.uey, e.spelling);
}

const WordList& WordList::BuiltIn() {
  static const WordList list = [] {
    WordList l;
    for (const BuiltInPair& p : kBuiltIn) l.Add(p.script, p.uey, p.spelling);
    return l;
  }();
  return list;
}

}  // namespace uy::script
