// SPDX-License-Identifier: GPL-3.0-or-later
// Application-wide settings shared by the window programs.
#pragma once

namespace uy::gui {

// Call once after the QApplication exists: the Qt dialogs instead of the desktop's
// native ones (identical on every desktop and scriptable in tests), and installed
// Uyghur fonts in place of the font names the windows ask for when those are missing;
// the signal handlers that remove temporary files of an interrupted run.
void SetUpApplication();

// Maps the windows' Uyghur font names to installed Uyghur fonts, where the named
// fonts are not installed themselves. Safe to call more than once.
void InstallFontSubstitutes();

}  // namespace uy::gui
