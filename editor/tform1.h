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
#include <optional>

#include "editor/keyboard.h"

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

namespace uy::editor {

class RulerBar;
class UyMemo;

// What a file dialog is opened with; file_name is the name it returned last.
struct FileDialogSetup {
  QString filter;
  QString default_suffix;
  QString file_name;
};

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  explicit TForm1(QWidget* parent = nullptr);
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
  FileDialogSetup OpenDialog1;
  FileDialogSetup SaveDialog1;
  QMenu* PopupMenu1;
  QAction* a1;
  QAction* b1;
  QAction* c1;
  QAction* d1;
  QAction* e1;
  QList<QIcon> ImageList2;
  QList<QColor> ColorDialog1;  // the custom colour slots
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
  void ToolButton1Click();  // New
  // Export: every displayed line of TntMemo1 in visual order with presentation forms
  // into TntMemo2, and onto the clipboard, each line followed by CR LF.
  void ToolButton4Click();
  // The phonetic keyboard on TntMemo1: the text to insert for typed characters, or
  // nothing when the text area inserts them unchanged. ToolButton11 down is Uyghur mode.
  std::optional<QString> TntMemo1KeyPress(const QString& typed);

  // Shows a failure's message; tests replace it to record the messages.
  std::function<void(const QString&)> show_failure;

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

  uy::PhoneticKeyboard keyboard_;  // holds the word-start flag
};

// The main window of the running program.
extern TForm1* Form1;

// The 16 × 16 images of the tool bar (15) and of the alignment menu (5).
QList<QIcon> MakeImageList1();
QList<QIcon> MakeImageList2();

}  // namespace uy::editor
