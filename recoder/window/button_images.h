// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures on the recoder window's buttons, drawn here so that they look the same
// under every desktop theme. The disabled forms come from QIcon.
#pragma once

#include <QIcon>

namespace uy::docrecode {

QIcon OpenFolderImage();  // an open folder
QIcon ConvertImage();     // a page with a red arrow to the right
QIcon PageImage();        // a page
QIcon RemoveImage();      // an arrow to the left over a struck line
QIcon HelpImage();        // a question mark (18 x 18)
QIcon DoorImage();        // a door (18 x 18)

}  // namespace uy::docrecode
