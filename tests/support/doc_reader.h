// SPDX-License-Identifier: GPL-3.0-or-later
// What an office suite shows of a document, read straight from its file: each paragraph's
// text, which of its letters are bold, its direction and the edge it is aligned to. Enough to
// check a converted document against its source; no full reader of any format.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace uytest {

struct ShownParagraph {
  std::u16string text;
  // Per unit: the complex-script weight for Arabic-script units, the western one for others
  // (one value for both in formats that hold one).
  std::vector<bool> bold;
  bool rtl = false;
  char align = 'L';        // as laid out: 'L' left, 'R' right, 'C' centred, 'J' justified
  bool rtl_table = false;  // in a right-to-left table or sheet
};

// Paragraphs of .docx .xlsx .pptx .odt .ods .odp .rtf .html (told by the extension), in the
// order met: headers, footers and notes too (a note is a paragraph of its own; its mark is no
// text). Paragraphs without text are left out. Alignment is read as LibreOffice lays it out:
// in .docx a right-to-left paragraph's "left" is its right edge; in ODF start and end are the
// left and right edges whatever the direction.
std::vector<ShownParagraph> ReadShown(const std::filesystem::path& doc);

// True for units of the Arabic script and its presentation forms.
bool IsArabicUnit(char16_t c);

}  // namespace uytest
