// SPDX-License-Identifier: GPL-3.0-or-later
#include "failure_text.h"

#include <cerrno>
#include <new>

#include <QDir>

#include "paths.h"
#include "translations.h"

namespace uy::gui {
namespace {

struct ErrnoEntry {
  int error_number;
  const char* text;
};
// The errno values a user meets; others keep the system's English text.
const ErrnoEntry kErrnoTexts[] = {
    {ENOENT, QT_TRANSLATE_NOOP("uy::gui::Failures", "没有那个文件或目录")},
    {EACCES, QT_TRANSLATE_NOOP("uy::gui::Failures", "权限不够")},
    {EPERM, QT_TRANSLATE_NOOP("uy::gui::Failures", "不允许的操作")},
    {ENOSPC, QT_TRANSLATE_NOOP("uy::gui::Failures", "设备上没有空间")},
    {EDQUOT, QT_TRANSLATE_NOOP("uy::gui::Failures", "超出磁盘配额")},
    {EROFS, QT_TRANSLATE_NOOP("uy::gui::Failures", "只读文件系统")},
    {EISDIR, QT_TRANSLATE_NOOP("uy::gui::Failures", "是一个文件夹")},
    {ENOTDIR, QT_TRANSLATE_NOOP("uy::gui::Failures", "路径中有一部分不是文件夹")},
    {EFBIG, QT_TRANSLATE_NOOP("uy::gui::Failures", "文件太大")},
    {EIO, QT_TRANSLATE_NOOP("uy::gui::Failures", "输入/输出错误")},
    {ENAMETOOLONG, QT_TRANSLATE_NOOP("uy::gui::Failures", "文件名太长")},
    {ELOOP, QT_TRANSLATE_NOOP("uy::gui::Failures", "符号链接的层数太多")},
    {ENOMEM, QT_TRANSLATE_NOOP("uy::gui::Failures", "内存不足")},
    {EMFILE, QT_TRANSLATE_NOOP("uy::gui::Failures", "打开的文件太多")},
    {EBUSY, QT_TRANSLATE_NOOP("uy::gui::Failures", "设备或资源忙")},
    {EEXIST, QT_TRANSLATE_NOOP("uy::gui::Failures", "文件已存在")},
};

struct WhyEntry {
  FileError::Why why;
  const char* text;  // %1: the library's English detail, where it has one
};
const WhyEntry kWhyTexts[] = {
    {FileError::Why::kIsFolder, QT_TRANSLATE_NOOP("uy::gui::Failures", "这是一个文件夹")},
    {FileError::Why::kNotRegularFile, QT_TRANSLATE_NOOP("uy::gui::Failures", "不是普通文件")},
    {FileError::Why::kFolderHasName, QT_TRANSLATE_NOOP("uy::gui::Failures", "已有同名的文件夹")},
    {FileError::Why::kNoTemporaryName, QT_TRANSLATE_NOOP("uy::gui::Failures", "找不到可用的临时文件名")},
    {FileError::Why::kSameAsInput, QT_TRANSLATE_NOOP("uy::gui::Failures", "它就是正在转换的文档")},
    {FileError::Why::kShrank, QT_TRANSLATE_NOOP("uy::gui::Failures", "读取时文件变短了")},
    {FileError::Why::kNoMemory, QT_TRANSLATE_NOOP("uy::gui::Failures", "内存不足，无法转换此文档")},
    {FileError::Why::kNoEnd, QT_TRANSLATE_NOOP("uy::gui::Failures", "它显示为空文件，却读不到结尾")},
    {FileError::Why::kExistsAlready, QT_TRANSLATE_NOOP("uy::gui::Failures", "它已存在")},
    {FileError::Why::kCheckFailed, QT_TRANSLATE_NOOP("uy::gui::Failures", "检查未通过，没有写出文件：%1")},
    {FileError::Why::kDamaged, QT_TRANSLATE_NOOP("uy::gui::Failures", "文档已损坏或格式不符：%1")},
    {FileError::Why::kEncrypted, QT_TRANSLATE_NOOP("uy::gui::Failures", "文档已加密，不能转换：%1")},
};

}  // namespace

QString Failures::SystemReason(int error_number) {
  for (const ErrnoEntry& e : kErrnoTexts)
    if (e.error_number == error_number) return tr(e.text);
  return QString::fromStdString(ErrnoText(error_number));
}

QString Failures::Reason(const FileError& e) {
  if (e.why() == FileError::Why::kSystem) return SystemReason(e.error_number());
  for (const WhyEntry& w : kWhyTexts) {
    if (w.why != e.why()) continue;
    const QString text = tr(w.text);
    return text.contains(QLatin1String("%1")) ? text.arg(QString::fromStdString(e.detail())) : text;
  }
  return QString::fromStdString(e.reason());
}

QString Failures::Text(const FileError& e) {
  const QString file = LeftToRightPart(QDir::toNativeSeparators(FromPath(e.path())));
  switch (e.kind()) {
    case FileError::Kind::Read: return tr("无法读取 %1：%2").arg(file, Reason(e));
    case FileError::Kind::Create: return tr("无法创建 %1：%2").arg(file, Reason(e));
    case FileError::Kind::Exists: return tr("不替换 %1：%2").arg(file, Reason(e));
    case FileError::Kind::Write: break;
  }
  return tr("无法写入 %1：%2").arg(file, Reason(e));
}

QString Failures::Text(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const FileError& e) {
    return Text(e);
  } catch (const std::bad_alloc&) {
    return SystemReason(ENOMEM);
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QString();
  }
}

}  // namespace uy::gui
