// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the readers of doc_reader.h: a small XML tree and the paragraph builders.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "doc_reader.h"

namespace uytest::reader {

using Paragraphs = std::vector<ShownParagraph>;

// An element (name set) or a piece of text (name empty).
struct Node {
  std::string name;
  std::map<std::string, std::string> attrs;
  std::vector<Node> kids;
  std::string text;
  const Node* Child(std::string_view name) const;
  std::string Attr(const std::string& name) const;
  std::string InnerText() const;
};

Node ParseXml(const std::string& xml);
// The XML parts of a zip container, by name.
std::map<std::string, Node> ZipXmlParts(const std::filesystem::path& doc);

void Append(ShownParagraph& p, std::u16string_view text, bool western_bold, bool complex_bold);
// Adds `p` unless it holds no text.
void Emit(Paragraphs& out, ShownParagraph&& p);

Paragraphs ReadOdf(const std::filesystem::path& doc);
Paragraphs ReadRtf(const std::string& bytes);
Paragraphs ReadHtml(const std::string& bytes);

}  // namespace uytest::reader
