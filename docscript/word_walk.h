// SPDX-License-Identifier: GPL-3.0-or-later
// The walk over one XML part of a word-processing document: paragraphs made of runs, each run
// with its properties and its text, handed to a transform that answers with byte edits. The
// part is parsed by expat; its byte positions say where every element lies, so everything the
// edits do not cover is copied as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace uy::docscript {

struct Range {
  std::size_t begin = 0, end = 0;
};

// One replacement of the part's bytes [begin, end) (an insertion when they are equal).
struct Edit {
  std::size_t begin, end;
  std::string text;
};
using Edits = std::vector<Edit>;

// The part with the edits made. The edits must not overlap (insertions at one place keep
// their order); throws std::logic_error when they do.
std::string ApplyEdits(std::string_view part, Edits edits);

// Text as element content: & < > escaped.
std::string EscapeText(std::u16string_view text);

// A direct child of a property element (w:b, w:jc ...).
struct PropChild {
  std::string name;  // local name
  Range whole;
  std::vector<std::pair<std::string, std::string>> attrs;  // local name (of the W namespace) and value
  const std::string* Attr(std::string_view local) const;
};

// A property element (w:pPr, w:rPr, w:sectPr, w:tblPr), present or not.
struct Props {
  std::string name;           // local name
  bool present = false;
  bool empty_tag = false;     // <w:rPr/>
  Range whole;
  std::size_t close = 0;      // where its end tag starts
  std::size_t insert_at = std::string::npos;  // where a missing one goes (npos: nowhere)
  std::vector<PropChild> children;
  const PropChild* Find(std::string_view local) const;
};

// A piece of a paragraph's text: a w:t, or a tab, break or hyphen (one character, kept).
struct TextSlot {
  Range open;                 // <w:t ...> (the whole tag when empty_tag)
  Range inner;                // the content
  bool empty_tag = false;
  bool preserve = false;      // xml:space="preserve"
  bool special = false;       // a w:tab, w:br ... standing for `text`
  bool deleted = false;       // a tracked deletion's w:delText
  std::u16string text;
  std::size_t run = 0;
};

struct Run {
  Props rpr;
  // Inside a tracked insertion (w:ins, w:moveTo) or deletion (w:del, w:moveFrom).
  bool inserted = false, deleted = false;
};

struct Paragraph {
  Props ppr;
  std::vector<Run> runs;
  std::vector<TextSlot> slots;
  std::u16string Text() const;
};

// The vocabularies the walk reads: word-processing parts (w:p, w:r, w:t, w:delText and
// property elements), spreadsheet parts (shared and inline strings: si and is, r, t; no
// properties; sheets' headers and footers) and the text of drawings and slides (a:p, a:r and
// a:fld, a:t, a:br; properties as attributes); OpenDocument parts (their own walk, odf_walk.h).
enum class Markup { kWord, kSheet, kSlide, kOdf };

// An attribute edit in the start tag at `tag`: `name` (as written) set to `value` (inserted
// when missing) or removed (no value). Nothing when it is missing and to be removed.
std::optional<Edit> SetAttribute(std::string_view part, Range tag, std::string_view name,
                                 std::optional<std::string_view> value);

class OdfTransform;

// What the walk finds.
class WordTransform {
 public:
  virtual ~WordTransform() = default;
  // What walks OpenDocument parts in its place (nothing: their paragraphs come to OnParagraph).
  virtual OdfTransform* Odf() { return nullptr; }
  // Every start tag of the spreadsheet and slide vocabularies; attributes as expat gives them.
  virtual void OnTag(std::string_view /*local*/, Range /*tag*/, const char** /*attrs*/, Edits& /*edits*/) {}
  virtual void OnParagraph(const Paragraph& p, Edits& edits) = 0;
  // A worksheet's header or footer (oddHeader ... firstFooter): its whole text, & codes
  // included, as one slot.
  virtual void OnHeaderFooter(const TextSlot& /*slot*/, Edits& /*edits*/) {}
  // A property element outside a run or paragraph's own: a style's, the defaults', a
  // paragraph mark's run properties, a section's or a table's.
  virtual void OnProps(const Props& props, Edits& edits) = 0;
};

// The writer's prefix of the vocabulary's namespace, as the part binds it (empty: the
// default namespace, which only spreadsheet parts may use).
struct PartInfo {
  std::string prefix;
  // `local` with the prefix.
  std::string Qualified(std::string_view local) const {
    return prefix.empty() ? std::string(local) : prefix + ":" + std::string(local);
  }
};

// Walks the part; `info` is filled as the part declares it, before the first paragraph is
// handed on. Throws DocumentError (uyformats) naming what is wrong: not well-formed, a document
// type declaration, the namespace bound as the default one.
void WalkWordPart(std::string_view part, WordTransform& transform, Edits& edits, PartInfo& info,
                  Markup markup = Markup::kWord);

// Throws DocumentError when `part` is not well-formed XML.
void CheckWellFormed(std::string_view part);

}  // namespace uy::docscript
