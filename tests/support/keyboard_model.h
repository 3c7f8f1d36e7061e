// SPDX-License-Identifier: GPL-3.0-or-later
// An independent model of the phonetic keyboard, written the way the old text area
// worked: an 8-bit key handler that inserts characters through the text area's own
// character input, which passes them back through the handler. The key map is written
// out literally here rather than taken from the script core.
#pragma once

#include <map>
#include <string>

namespace uytest {

class KeyboardModel {
 public:
  KeyboardModel() {
    const std::u16string lower = u"\u06BE\u0628\u063A\u062F\u06D0\u0627\u06D5\u0649\u06AD\u0642\u0643\u0644\u0645"
                                 u"\u0646\u0648\u067E\u0686\u0631\u0633\u062A\u06C7\u06C8\u06CB\u0634\u064A\u0632";
    for (int i = 0; i < 26; ++i) single_[static_cast<unsigned char>('a' + i)] = lower[static_cast<std::size_t>(i)];
    for (char v : std::string("efghouv")) {
      vowel_[static_cast<unsigned char>(v)] = single_[static_cast<unsigned char>(v)];
      single_.erase(static_cast<unsigned char>(v));
    }
    const std::u16string upper = u"\u2190?\u3011\u0698\u201C\u0641\u06AF\u062E\u25C6\u062C\u06C6?\u2026"
                                 u"\u2116\u25CF\u00A7?\u201D\u2212\u25A0\u25B2\u3010??\u2605?";
    for (int i = 0; i < 26; ++i)
      if (upper[static_cast<std::size_t>(i)] != u'?') single_[static_cast<unsigned char>('A' + i)] = upper[static_cast<std::size_t>(i)];
    single_[','] = u'\u060C';
    single_['/'] = u'\u0626';
    single_[';'] = u'\u061B';
    single_['<'] = u'\u203A';
    single_['>'] = u'\u2039';
    single_['?'] = u'\u061F';
    phrase_['B'] = u"\u0628\u0649\u0644\u06D5\u0646 ";
    phrase_['Q'] = u"\u0686\u06C8\u0646\u0643\u0649 ";
    phrase_['W'] = u"\u06CB\u06D5 ";
    phrase_['X'] = u"\u0634\u0649\u0646\u062C\u0627\u06AD \u0626\u06C7\u064A\u063A\u06C7\u0631 \u0626\u0627"
                   u"\u067E\u062A\u0648\u0646\u0648\u0645 \u0631\u0627\u064A\u0648\u0646\u0649 ";
    phrase_['Z'] = u"\u0626\u06C8\u0631\u06C8\u0645\u0686\u0649 \u0634\u06D5\u06BE\u06D5\u0631\u0644\u0649\u0643 ";
  }

  bool uyghur = true;
  unsigned char flag = 1;
  std::u16string text;

  // One character message arriving at the text area.
  void Char(char16_t c) {
    unsigned char key = c > 0xFF ? 0xFF : static_cast<unsigned char>(c);
    KeyPress(key);
    if (key == 0) return;
    Insert(c > 0xFF && key == 0xFF ? c : key);
  }

 private:
  void KeyPress(unsigned char& key) {
    if (!uyghur) return;
    switch (key) {
      case '(': key = ')'; return;
      case ')': key = '('; return;
      case '[': key = 0xBB; return;
      case ']': key = 0xAB; return;
      case '{': key = '}'; return;
      case '}': key = '{'; return;
      default: break;
    }
    if (auto s = single_.find(key); s != single_.end()) {
      key = 0;
      Char(s->second);
      flag = 0;
    } else if (auto v = vowel_.find(key); v != vowel_.end()) {
      key = 0;
      if (flag) Char(u'\u0626');
      Char(v->second);
      flag = 0;
    } else if (auto p = phrase_.find(key); p != phrase_.end()) {
      key = 0;
      for (char16_t c : p->second) Char(c);
      flag = 1;
    } else if (key == 'L') {
      key = 0;
      Char(u'\u0644');
      Char(u'\u0627');
    } else {
      flag = 1;
    }
  }

  // The text area's own reaction to a character it inserts.
  void Insert(char16_t c) {
    if (c == 0x08) {
      if (!text.empty()) {
        const bool pair = text.size() >= 2 && text.back() >= 0xDC00 && text.back() <= 0xDFFF &&
                          text[text.size() - 2] >= 0xD800 && text[text.size() - 2] <= 0xDBFF;
        text.resize(text.size() - (pair ? 2 : 1));
      }
    } else if (c == 0x0D) {
      text += u'\n';
    } else if (c == u'\t' || (c >= 0x20 && c != 0x7F)) {
      text += c;
    }
  }

  std::map<unsigned char, char16_t> single_, vowel_;
  std::map<unsigned char, std::u16string> phrase_;
};

}  // namespace uytest
