// SPDX-License-Identifier: GPL-3.0-or-later
#include "phonetic_mim.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "keyboard.h"
#include "letters.h"
#include "mim_text.h"

namespace uy::mimgen {
namespace {

using editor::KeyKind;

constexpr std::string_view kDescription = R"(Uyghur phonetic keyboard: Latin keys write Uyghur in the Arabic script.
The keys a-z, D F G H J K and / write letters, the other capitals symbols
or whole phrases (B Q W X Z L), and , ; ? < > Arabic punctuation and
guillemets; the brackets are swapped for right-to-left text.
A vowel key (e f g h o u v) at the start of a word writes the hamza
carrier first.  Where the application shows the text before the caret,
a word starts unless a Uyghur letter stands before the caret.  Elsewhere,
and at the start of the text, the keys typed decide: a key that writes no
letter of its own (space, digits, Enter, Backspace...) and a phrase key
start a word, a letter or symbol key does not, a bracket key and the
keys that move the caret change nothing.
)";

std::string KeyString(char key) { return Quoted(std::u16string(1, static_cast<char16_t>(key))); }

// Writes the carrier when the vowel about to be written starts a word: decided by the
// character before the caret when the application shows one (@-1 is negative when it
// shows none), else by the flag.
std::string CarrierMacro() {
  std::string letters;
  for (std::size_t i = 0; i < kLetters.size(); ++i) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "%s(= before 0x%04X)", i % 6 ? " " : "\n     ",
                  static_cast<unsigned>(kLetters[i].code));
    letters += hex;
  }
  const std::string carrier = Quoted(std::u16string(1, editor::kWordStartCarrier));
  return "(macro\n"
         " ;; Writes the hamza carrier when the vowel about to be written starts a word.\n"
         " (carrier\n"
         "  (set before @-1)\n"
         "  (cond\n"
         "   ((< before 0) (cond ((= in-word 0) " + carrier + ")))\n"
         "   ((|" + letters + ")) ;; inside a word\n"
         "   (1 " + carrier + "))))\n\n";
}

// One map per kind of key. The word-start flag is the variable in-word, which m17n starts
// at 0 (a word start) in every input context.
struct MapGroup {
  KeyKind kind;
  const char* name;
  const char* comment;
  const char* before;  // actions ahead of the insertion
  const char* after;   // actions behind it
};

constexpr std::array<MapGroup, 5> kMaps{{
    {KeyKind::kSingle, "letter", "letters, symbols and punctuation: inside a word afterwards", "",
     " (set in-word 1)"},
    {KeyKind::kVowel, "vowel", "vowels, after the carrier at a word start", " (carrier)",
     " (set in-word 1)"},
    {KeyKind::kPhrase, "phrase", "phrases, the carriers inside them included: a word start afterwards",
     "", " (set in-word 0)"},
    {KeyKind::kBracket, "bracket", "brackets swapped for right-to-left text: the flag stays", "", ""},
    {KeyKind::kNone, "plain", "keys typed unchanged (by the application): a word start afterwards",
     "", ""},
}};

std::string MapRules(const MapGroup& group) {
  std::string out = " ;; " + std::string(group.comment) + "\n (" + group.name;
  const auto& map = editor::KeyMap();
  for (char key = ' '; key <= '~'; ++key) {
    const editor::KeyAction& action = map[static_cast<unsigned char>(key)];
    if (action.kind != group.kind) continue;
    out += "\n  (" + KeyString(key) + group.before;
    if (group.kind == KeyKind::kNone)
      out += " (set in-word 0) (unhandle)";
    else
      out += " " + Quoted(action.text);
    out += std::string(group.after) + ")";
  }
  return out + ")\n";
}

}  // namespace

std::string PhoneticMim() {
  std::string out = Header("ug-phonetic.mim", "phonetic", kDescription);
  out += CarrierMacro();
  out += "(map\n";
  for (const MapGroup& group : kMaps) out += MapRules(group);
  out += CaretRules() + ")\n\n";
  out += "(state\n (init";
  for (const MapGroup& group : kMaps) out += "\n  (" + std::string(group.name) + ")";
  out += "\n  (caret)\n";
  out += "  ;; any other key (Enter, Backspace, Tab, characters of other layouts...) starts a word\n";
  out += "  (nil (set in-word 0) (unhandle))))\n\n";
  out += Trailer();
  return out;
}

}  // namespace uy::mimgen
