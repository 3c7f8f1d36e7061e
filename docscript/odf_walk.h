// SPDX-License-Identifier: GPL-3.0-or-later
// The walk over one XML part of an OpenDocument file (content.xml, styles.xml): paragraphs
// (text:p, text:h) wherever they are, made of runs that each carry the text properties in
// force there (spans, paragraph, cell or shape styles, their parents and the defaults); the
// style and layout property elements that say directions. A note's body is made of
// paragraphs of their own; the note, fields and marks stay in their paragraph untouched and
// are no part of its text.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "word_walk.h"

namespace uy::docscript {

inline constexpr std::string_view kOdfOfficeNs = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
inline constexpr std::string_view kOdfStyleNs = "urn:oasis:names:tc:opendocument:xmlns:style:1.0";
inline constexpr std::string_view kOdfTextNs = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
inline constexpr std::string_view kOdfFoNs = "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0";

// The text properties the conversion reads and sets, each with a western attribute (for
// Latin and Cyrillic text) and a complex-script one (for Arabic-script text).
enum class OdfProp : std::size_t { kWeight, kStyle, kSize, kFontName, kFontFamily, kLanguage, kCountry, kScript, kTag };
inline constexpr std::size_t kOdfPropCount = 9;

struct OdfAttrName {
  std::string_view uri, local;
};
OdfAttrName OdfPropName(OdfProp p, bool complex);

// The value of the attribute `uri|local` in expat's list of attributes, or null.
const char* OdfAttr(const char** attrs, std::string_view uri, std::string_view local);

struct OdfTextProps {
  std::array<std::optional<std::string>, 2 * kOdfPropCount> values;  // western ones first
  const std::optional<std::string>& Get(OdfProp p, bool complex) const {
    return values[static_cast<std::size_t>(p) + (complex ? kOdfPropCount : 0)];
  }
  std::optional<std::string>& Get(OdfProp p, bool complex) {
    return values[static_cast<std::size_t>(p) + (complex ? kOdfPropCount : 0)];
  }
  // Values missing here taken from `outer`; a size in percent becomes one of outer's size.
  void Inherit(const OdfTextProps& outer);
};

struct OdfStyle {
  std::string parent;
  OdfTextProps own;
  bool automatic = false;
  std::vector<std::pair<std::string, std::string>> text_attrs;  // its text properties' "uri|local" and values
};

// Styles by family and name, with their parents, and the defaults of each family.
class OdfStyles {
 public:
  void Add(std::string_view family, std::string_view name, OdfStyle style);
  const OdfStyle* Find(std::string_view family, std::string_view name) const;
  void AddDefault(std::string_view family, OdfTextProps own);
  bool Has(std::string_view family, std::string_view name) const;
  // What the named style (nothing: none) gives, through its parents, over `outer`, over its
  // family's default.
  OdfTextProps Resolve(std::string_view family, std::string_view name, const OdfTextProps& outer) const;

 private:
  std::map<std::string, OdfStyle, std::less<>> styles_;  // family, '\n', name
  std::map<std::string, OdfTextProps, std::less<>> defaults_;
};

// Prefixes the part's root element binds, by namespace.
struct OdfNames {
  std::map<std::string, std::string, std::less<>> prefixes;
  // "prefix:local", or nothing when the root does not bind the namespace.
  std::optional<std::string> Qualified(std::string_view uri, std::string_view local) const;
};

// The element whose character data a run is: a paragraph, a span (whose style can be
// replaced) or another (a link, a meta).
struct OdfHolder {
  enum class Kind { kParagraph, kSpan, kOther } kind = Kind::kOther;
  Range tag;          // its start tag
  std::string style;  // its text:style-name
  std::size_t serial = 0;
};

// A paragraph: its text pieces (character data and kept characters, with their byte ranges
// in `inner`) and, per run, the text properties in force and the element holding it.
struct OdfParagraph : Paragraph {
  std::vector<OdfTextProps> props;
  std::vector<OdfHolder> holders;
};

// Where automatic styles can be added to the part.
struct OdfStylePlace {
  std::size_t at = std::string::npos;  // npos: nowhere
  Range replace;                       // replaced there (an empty <office:automatic-styles/>)
  bool open = false;                   // the office:automatic-styles element has to be written too
};

class OdfTransform {
 public:
  virtual ~OdfTransform() = default;
  // The styles the walk resolves against; those the part defines are added as they come.
  virtual OdfStyles& Styles() = 0;
  virtual void OnParagraph(const OdfParagraph& p, Edits& edits) = 0;
  // A property element's start tag (style:paragraph-properties, -table-, -section-, -graphic-,
  // -page-layout-): `local` its local name, `in_default` within a style:default-style.
  virtual void OnProperties(std::string_view /*local*/, bool /*in_default*/, Range /*tag*/, const char** /*attrs*/,
                            Edits& /*edits*/) {}
  virtual void OnEnd(const OdfStylePlace& /*place*/, Edits& /*edits*/) {}
  const OdfNames* names = nullptr;  // set by the walk before the first element
};

// Walks the part. Throws DocumentError (uyformats) naming what is wrong: not well-formed, a
// document type declaration, limits passed.
void WalkOdfPart(std::string_view part, OdfTransform& transform, Edits& edits);

// The walk for a word-processing transform (the script told from the text): paragraphs are
// handed to its OnParagraph, or the transform's own OpenDocument side takes the walk.
void WalkOdfPart(std::string_view part, WordTransform& transform, Edits& edits);

}  // namespace uy::docscript
