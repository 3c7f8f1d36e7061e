// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's main window: tool bar, rulers, the text area with its phonetic keyboard,
// status bar and the document commands.
#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

#include "dialogs.h"
#include "keyboard.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace uy::uyedit {

class RulerBar;
class UyMemo;


class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // The window shows its dialogs through `dialogs` (the real Qt dialogs when null).
  explicit TForm1(uy::gui::Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // Controls, in the order the window declares them.
  QPlainTextEdit* TntMemo2;  // hidden; holds the last export
  QToolBar* ToolBar1;
  QToolButton* ToolButton11;  // Uyghur/English input toggle, down at start
  QToolButton* ToolButton12;  // hidden; carries PopupMenu3
  QToolButton* ToolButton1;   // New
  QToolButton* ToolButton2;   // Open
  QToolButton* ToolButton3;   // Save
  QComboBox* ComboBox1;       // font
  QComboBox* ComboBox2;       // size
  QSlider* TrackBar1;         // size, 8 to 128
  QToolButton* ToolButton8;   // colour
  QToolButton* ToolButton10;  // alignment menu (its items do nothing)
  QAction* ToolButton9;       // separator
  QToolButton* ToolButton4;   // export to the clipboard
  QToolButton* ToolButton6;   // hidden
  QToolButton* ToolButton5;   // hidden
  QStatusBar* StatusBar1;
  QList<QLabel*> Panels;  // the three panels of StatusBar1
  RulerBar* ToolBar2;     // horizontal ruler
  RulerBar* ToolBar3;     // vertical ruler
  QList<QIcon> ImageList1;
  uy::gui::FileDialogOptions OpenDialog1;  // file_name: the name it returned last
  uy::gui::FileDialogOptions SaveDialog1;
  QMenu* PopupMenu1;
  QAction* a1;
  QAction* b1;
  QAction* c1;
  QAction* d1;
  QAction* e1;
  QList<QIcon> ImageList2;
  QList<QColor> ColorDialog1;  // the custom colour slots, all white
  QMenu* PopupMenu3;
  QAction* FileNew1;
  QAction* FileOpen1;
  QAction* FileSave1;
  UyMemo* TntMemo1;       // the document
  QListWidget* ListBox1;  // hidden scratch list of font names

  // Handlers. Those that can fail throw; the signal connections show the failure.
  void FormCreate();
  void FormResize();
  void ComboBox1Change();
  void ComboBox2Change();
  void TrackBar1Change();
  void ToolButton1Click();  // New; the file menu's FileNew1 does the same
  void ToolButton2Click();  // Open; cancelling changes nothing
  void ToolButton3Click();  // Save; cancelling changes nothing
  void ToolButton8Click();  // colour of both text areas
  // Loads a ".uyt" (or other text) file into the text area, as Open does after its
  // dialog. A file with malformed text loads with U+FFFD in its place and a warning.
  void OpenFile(const QString& path);
  // OpenFile with a failure shown in a message box.
  void OpenFileGuarded(const QString& path) { Run([&] { OpenFile(path); }); }
  // Export: every displayed line of TntMemo1 in visual order with presentation forms
  // into TntMemo2, and onto the clipboard, each line followed by CR LF.
  void ToolButton4Click();
  // The phonetic keyboard on TntMemo1: the text to insert for typed characters, or
  // nothing when the text area inserts them unchanged. ToolButton11 down is Uyghur mode.
  std::optional<QString> TntMemo1KeyPress(const QString& typed);

  // The names that carry one of the font filter words, case-sensitive, in their order.
  static QStringList FontsToOffer(const QStringList& families);
  // The font filter words and the window caption.
  static const QStringList kFontFilterWords;
  static const QString kCaption;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolBar1();
  void BuildStatusBar();
  void BuildMenus();
  void ConnectHandlers();
  // Runs a handler; a failure leaves the window as it was and is shown.
  void Run(const std::function<void()>& handler);

  uy::editor::PhoneticKeyboard keyboard_;  // holds the word-start flag
  std::unique_ptr<uy::gui::Dialogs> own_dialogs_;
  uy::gui::Dialogs* dialogs_;
};

// The main window of the running program.
extern TForm1* Form1;

// The 16 × 16 images of the tool bar (15) and of the alignment menu (5).
QList<QIcon> MakeImageList1();
QList<QIcon> MakeImageList2();

}  // namespace uy::uyedit
