// SPDX-License-Identifier: GPL-3.0-or-later
// The walk over a rich-text (RTF) document as word processors write it: groups, control words
// and symbols, text in the document's code page, \uN with its fallback skipped under \ucN.
// Destinations that hold no text (font and colour tables, document information, pictures,
// field instructions, everything marked \*) are passed over. Text is handed on in paragraphs of
// slots, each slot a stretch of text tokens with its byte range and its character state; notes,
// annotations, headers and footers are paragraphs of their own. The control words that say a
// paragraph's, section's, row's or the document's direction are handed on with their ranges.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "word_walk.h"

namespace uy::docscript {

// Groups nested deeper are refused.
constexpr std::size_t kMaxRtfDepth = 1000;

// The character formatting a slot's text is under. Sizes in half points; -1: not said.
struct RtfCharState {
  bool b = false, i = false, ab = false, ai = false;
  int fs = 24, afs = 24;
  bool rtl = false;  // \rtlch
  int lang = -1, alang = -1;
  int f = -1, af = -1;
  int uc = 1;  // fallback characters after \uN
};

// A stretch of text tokens under one character state (text), or one control word standing for a
// character (special: \tab \line \~ \emdash ...), kept as it is.
struct RtfSlot {
  Range range;
  std::u16string text;
  RtfCharState state;
  bool special = false;
  bool after_word = false;  // right after a control word with no space delimiter
};

struct RtfParagraph {
  std::vector<RtfSlot> slots;
  bool rtl = false;          // the paragraph's direction as it ends
  std::size_t end = 0;       // where it ends: its \par, \cell ..., or the brace closing its destination
  bool marked_end = false;   // ended by \par, \sect, \cell or \nestcell (paragraph properties may go before it)
  bool aligned = false;      // an alignment word is in force
  std::u16string Text() const;
};

class RtfSink {
 public:
  virtual ~RtfSink() = default;
  virtual void OnParagraph(const RtfParagraph& p) = 0;
  // \rtlpar \ltrpar \rtlsect \ltrsect \rtlrow \ltrrow \taprtl \rtldoc \ltrdoc \sectd \trowd,
  // in the body or the stylesheet.
  virtual void OnDirectionWord(std::string_view /*word*/, Range /*range*/) {}
  // The alignment word (\ql \qr \qc ...: `align` is its second letter) in force as a paragraph
  // (or a paragraph style) ends, and that paragraph's direction; once per word.
  virtual void OnAlignment(Range /*range*/, char /*align*/, bool /*rtl*/) {}
};

// Walks the document. Throws DocumentError (uyformats) naming what is wrong: not rich text,
// groups nested deeper than `max_depth` or left open, a \bin past the end, a control word cut off.
void WalkRtf(std::string_view doc, RtfSink& sink, std::size_t max_depth = kMaxRtfDepth);

}  // namespace uy::docscript
