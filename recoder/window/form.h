// SPDX-License-Identifier: GPL-3.0-or-later
// The recoder window: documents are picked into a list, recoded in one of the eight
// directions (or converted between the scripts) beside themselves, opened with the
// desktop's application and removed.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>
#include <QWidget>

#include "batch.h"
#include "detect.h"
#include "dialogs.h"
#include "document_list.h"
#include "flat_button.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

namespace uy::docrecode {

// The program's name: the caption of its message boxes.
inline constexpr char kProgramName[] = "docrecode";

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // dialogs: where the window's dialogs and message boxes go; the real Qt ones when null.
  explicit TForm1(gui::Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  QLabel* TntLabel1;
  QGroupBox* GroupBox3;
  QLineEdit* Edit1;
  QPushButton* Open1;
  QGroupBox* GroupBox1;
  QComboBox* TntComboBox1;
  DocumentList* ListBox1;
  QGroupBox* GroupBox2;
  FlatButton* Convert1;
  FlatButton* TntSpeedButton1;
  FlatButton* TntSpeedButton4;
  FlatButton* TntSpeedButton2;
  FlatButton* TntSpeedButton3;
  QProgressBar* ProgressBar1;
  QStatusBar* TntStatusBar1;
  QLabel* StatusPanel;  // the status bar's one panel
  gui::FileDialogOptions OpenDialog1;

  // Folder of the most recent pick, with a trailing '/'.
  const QString& folder() const { return folder_; }
  // What the open button opens while the converted flag is set.
  const QString& last_output() const { return last_output_; }
  bool converted() const { return converted_; }
  // True while a convert run is going on.
  bool busy() const { return busy_; }
  // The picked document of a list entry: its own folder and its name.
  QString EntryPath(int row) const;

  // The untranslated caption of a direction in the direction list.
  static const char* DirectionCaptionSource(int direction);

  // A pick: appends the files to the list, as the open dialog and a drop do.
  void AddDocuments(const QStringList& paths);

 public slots:
  void FormCreate();
  void Open1Click();
  void Convert1Click();
  void TntSpeedButton1Click();  // open
  void TntSpeedButton4Click();  // remove
  void TntSpeedButton3Click();  // exit

 private:
  void Build();
  void BuildPicker();
  void BuildDirectionList();
  void BuildDocumentList();
  void BuildButtons();
  void BuildBottom();
  void ConnectHandlers();
  void Guard(const std::function<void()>& body);
  void SetListButtonsEnabled(bool enabled);
  void RunConversion();
  void RememberOutput(const std::vector<QString>& outputs, const std::vector<recode::BatchFailure>& failures);
  QString CompletionText(const std::vector<recode::BatchFailure>& failures) const;
  static QString FailureReason(const recode::BatchFailure& failure);
  static QString ContradictionReason(const formats::Detection& d, int direction);
  static QString UnchangedText(const QStringList& names);
  void MarkContradictions();
  QString ContradictionText(int direction) const;

  gui::Dialogs* dialogs_;
  std::unique_ptr<gui::Dialogs> own_dialogs_;
  recode::DocumentRecoder recoder_;
  QString folder_;
  QString last_output_;
  QString last_written_;  // the latest output a run wrote
  bool converted_ = false;
  bool busy_ = false;
};

}  // namespace uy::docrecode
