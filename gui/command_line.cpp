// SPDX-License-Identifier: GPL-3.0-or-later
#include "command_line.h"

#include <cstdio>
#include <string_view>

#include <QCommandLineParser>
#include <QCoreApplication>

#include "version.h"

namespace uy::gui {
namespace {

// Options that QGuiApplication and QApplication take out of argv themselves; those in
// the first list take the next argument as their value.
constexpr std::string_view kQtOptionsWithValue[] = {
    "-platform", "-platformpluginpath", "-platformtheme", "-plugin", "-qmljsdebugger",
    "-style", "-stylesheet", "-display", "-geometry", "-title", "-session", "-name",
    "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-fontengine"};
constexpr std::string_view kQtFlags[] = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                         "-sync", "-testability"};

bool IsIn(std::string_view arg, const auto& list) {
  for (std::string_view o : list)
    if (arg == o || (arg.size() > 1 && arg[1] == '-' && arg.substr(1) == o)) return true;
  return false;
}

// The arguments without Qt's own options, the program's name first.
QStringList ProgramArguments(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (i > 0 && IsIn(arg, kQtOptionsWithValue)) {
      ++i;
      continue;
    }
    if (i > 0 && IsIn(arg.substr(0, arg.find('=')), kQtOptionsWithValue)) continue;  // -style=fusion
    if (i > 0 && IsIn(arg, kQtFlags)) continue;
    args << QString::fromLocal8Bit(argv[i]);
  }
  return args;
}

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

}  // namespace

std::optional<int> ReadCommandLine(int argc, char** argv, const ProgramInfo& info,
                                   QStringList* positional) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(info.description));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  parser.addPositionalArgument(QString::fromUtf8(info.positional),
                               QString::fromUtf8(info.positional_help),
                               QString::fromUtf8(info.positional_syntax));
  const QString name = QString::fromUtf8(info.name);
  if (!parser.parse(ProgramArguments(argc, argv))) {
    Print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                      .arg(name, parser.errorText()));
    return 2;
  }
  if (parser.isSet(version)) {
    Print(stdout, QStringLiteral("%1 %2\n").arg(name, QStringLiteral(UY_VERSION)));
    return 0;
  }
  if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"))) {
    // The help text names the program from the application object's arguments: a core
    // one, which needs no display, named without the folder it was started from.
    int core_argc = 1;
    char* core_argv[] = {const_cast<char*>(info.name), nullptr};
    QCoreApplication core(core_argc, core_argv);
    Print(stdout, parser.helpText());
    return 0;
  }
  *positional = parser.positionalArguments();
  return std::nullopt;
}

}  // namespace uy::gui
