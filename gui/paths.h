// SPDX-License-Identifier: GPL-3.0-or-later
// File names between Qt and the libraries: through the local 8-bit encoding Qt uses for
// the file system, so that a name that is not valid UTF-8 still reaches the same file.
#pragma once

#include <QString>
#include <filesystem>

namespace uy::gui {

std::filesystem::path ToPath(const QString& name);
QString FromPath(const std::filesystem::path& path);

}  // namespace uy::gui
