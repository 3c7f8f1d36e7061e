// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' language. Their source texts are the program's own (Chinese hints and
// messages, Uyghur captions, a few English messages); a translation replaces them for
// the languages that have one (Uyghur, English). Qt's own texts follow the user's
// language where Qt has a translation for it.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

namespace uy::gui {

// Installs the translation of the first language in `languages` (most wanted first,
// as QLocale::uiLanguages gives them, "ug-CN" or "ug") that has one, stopping at Chinese,
// the language of the source texts; also Qt's own translation for the first language.
// Replaces what an earlier call installed. Returns the translation's language ("ug",
// "en"), or empty when the source texts stay.
QString InstallTranslations(const QStringList& languages);

// The user's languages as Qt reads them from LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
QStringList UserLanguages();

// The direction the installed translation's texts read in: right to left for Uyghur.
// Labels, message boxes and status texts take it; the window layouts never do.
Qt::LayoutDirection TextDirection();

// Under a right-to-left language: each line that holds a right-to-left letter marked to
// read from the right (U+200F first), so that a sentence starting with a file name or a
// Latin word still reads as a Uyghur sentence. Unchanged otherwise.
QString InTextDirection(const QString& text);

// Under a right-to-left language: a file name or path kept whole and left to right inside
// a right-to-left sentence (U+202A before, U+202C after). Unchanged otherwise.
QString LeftToRightPart(const QString& text);

}  // namespace uy::gui
