// SPDX-License-Identifier: GPL-3.0-or-later
#include "paths.h"

#include <QFile>

namespace uy::gui {

std::filesystem::path ToPath(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

QString FromPath(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

}  // namespace uy::gui
