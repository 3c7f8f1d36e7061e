// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QUrl>

#include "bar_sink.h"
#include "button_images.h"
#include "convert_file.h"
#include "detect.h"
#include "document_error.h"
#include "failure_text.h"
#include "formats.h"
#include "guard.h"
#include "input_blocker.h"
#include "letters.h"
#include "paths.h"
#include "tables.h"
#include "translations.h"
#include "version.h"

namespace uy::docrecode {
namespace {

// Each list entry keeps the folder it was picked from under this role.
constexpr int kFolderRole = Qt::UserRole + 1;
// What the entry's content looks like: Detection::Verdict, its direction and confidence.
constexpr int kVerdictRole = Qt::UserRole + 2;
constexpr int kVerdictDirectionRole = Qt::UserRole + 3;
constexpr int kConfidenceRole = Qt::UserRole + 4;

formats::Detection EntryDetection(const QListWidgetItem* item) {
  formats::Detection d;
  d.verdict = static_cast<formats::Detection::Verdict>(item->data(kVerdictRole).toInt());
  d.direction = item->data(kVerdictDirectionRole).toInt();
  d.confidence = item->data(kConfidenceRole).toDouble();
  return d;
}

// The window's background: the pale blue of an inactive title bar's gradient.
const QColor kWindowColour(215, 228, 242);

QFont PixelFont(const char* family, int pixels) {
  QFont font(QString::fromLatin1(family));
  font.setPixelSize(pixels);
  return font;
}

QString Uyghur(const char* keys) { return QString::fromStdU16String(KeyStringToUyghur(keys)); }

// The captions of the eight directions, as the recoding tables hold them; the window
// shows their translations (a test keeps the two lists alike).
const char* const kDirectionCaptions[recode::kDirectionCount] = {
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "كورۋېلى 3.9  ← كورۋېلى 5.0"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "كورۋېلى 5.0  ← كورۋېلى 3.9"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "سورۋان ← كورۋېلى 5.0"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "كورۋېلى 5.0  ← سورۋان"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "تېكمىر ← كورۋېلى 5.0"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "ھوۋۇران ← كورۋېلى 5.0"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "زەينەك ← كورۋېلى 5.0"),
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "قارۋات 2000 ← كورۋېلى 5.0"),
};

// The entries after the eight directions: documents between the scripts, each written beside
// itself with the target script's suffix. The source script is told from each document's
// text (a document in the target script already fails by name).
struct ScriptEntry {
  const char* caption;
  script::Script to;
};
const ScriptEntry kScriptEntries[] = {
    {QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "ئەرەب يېزىقى ← لاتىن يېزىقى"), script::Script::Uly},
    {QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "ئەرەب يېزىقى ← كىرىل يېزىقى"), script::Script::Uky},
    {QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "ئەرەب يېزىقى ← يېڭى يېزىق"), script::Script::Uyy},
    {QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "باشقا يېزىقلار ← ئەرەب يېزىقى"), script::Script::Uey},
};

// The script entry at a direction-list index, or nothing for the eight directions.
const ScriptEntry* ScriptEntryAt(int index) {
  const int i = index - recode::kDirectionCount;
  return i >= 0 && i < static_cast<int>(std::size(kScriptEntries)) ? &kScriptEntries[i] : nullptr;
}

// Converts one document as a script entry says; the bar shows each document's start and end.
recode::DocumentRecoder ScriptConverter(const ScriptEntry& entry) {
  docscript::ConvertOptions options;
  options.to = entry.to;
  options.words = &script::WordList::BuiltIn();
  return [options](const std::filesystem::path& in, const std::filesystem::path& out, int,
                   recode::ProgressSink* progress) -> std::size_t {
    if (progress) progress->SetRange(1, 100), progress->SetPosition(0);
    const docscript::ConvertSummary s = docscript::ConvertFile(in, out, options);
    if (progress) progress->SetPosition(100);
    return s.runs_changed;
  };
}

// The buttons' captions are key strings: a translation replaces the Uyghur text that
// the key string stands for.
const char* const kButtonKeys[] = {
    //: Key string of the convert button's caption, ئالماشتۇرۇش (convert).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "/flmfxturux"),
    //: Key string of the title, نورۋاتېك كود ئالماشتۇرۇش 3.0 (Norvatek code convert 3.0).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "norwftek kod /flmfxturux 3.0"),
    //: Key string of the open button's caption, ئېچىش (open).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "/eqhx"),
    //: Key string of the help button's caption, ياردەم (help).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "yfrdgm"),
    //: Key string of the exit button's caption, چېكىنىش (exit).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "qekhnhx"),
    //: Key string of the remove button's caption, تازىلاش (remove).
    QT_TRANSLATE_NOOP("uy::docrecode::TForm1", "tfzhlfx"),
};

// The caption a key string gives, or its translation.
QString Caption(const char* keys) {
  const QString translated = TForm1::tr(keys);
  return translated == QLatin1String(keys) ? Uyghur(keys) : translated;
}

QString WithTrailingSlash(QString folder) {
  if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
  return folder;
}

// List entries 16 pixels high.
class FixedRowHeight : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 16);
  }
};

// The direction list's drop-down entries: right-aligned and read right to left, like the
// closed box (the style's own menu-like entries are left-aligned, black on grey).
class DirectionEntries : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();  // the style draws the background and the selection only
    const QWidget* widget = item.widget;
    (widget ? widget->style() : QApplication::style())
        ->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    painter->save();
    painter->setFont(item.font);
    const bool selected = item.state & QStyle::State_Selected;
    painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const int flags =
        Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter | Qt::TextForceRightToLeft;
    painter->drawText(item.rect.adjusted(4, 0, -4, 0), flags, text);
    painter->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(size.height() + 6);
    return size;
  }
};

// The most failures listed in the completion box; the rest are counted.
constexpr std::size_t kListedFailures = 15;

}  // namespace

TForm1::TForm1(gui::Dialogs* dialogs, QWidget* parent) : QWidget(parent), dialogs_(dialogs) {
  if (!dialogs_) {
    own_dialogs_ = std::make_unique<gui::QtDialogs>();
    dialogs_ = own_dialogs_.get();
  }
  // Documents are recoded by their content (zip, compound file, text, or the unit pass).
  recoder_ = [](const std::filesystem::path& in, const std::filesystem::path& out, int direction,
                recode::ProgressSink* progress) { return formats::RecodeByContent(in, out, direction, progress).changed; };
  folder_ = WithTrailingSlash(QDir::homePath());
  Build();
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::Build() {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(460, 423);
  QPalette window_palette = palette();
  window_palette.setColor(QPalette::Window, kWindowColour);
  setPalette(window_palette);
  setAutoFillBackground(true);
  setFont(PixelFont("MS Sans Serif", 11));

  BuildPicker();
  BuildDirectionList();
  BuildDocumentList();
  BuildButtons();
  BuildBottom();
  ConnectHandlers();
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

// The title, the folder field and the pick button.
void TForm1::BuildPicker() {
  TntLabel1 = new QLabel(this);
  TntLabel1->setGeometry(32, 8, 400, 24);
  TntLabel1->setFont(PixelFont("KORVELI Basma Tom", 21));
  TntLabel1->setAlignment(Qt::AlignCenter);

  GroupBox3 = new QGroupBox(this);
  GroupBox3->setGeometry(8, 32, 449, 49);

  Edit1 = new QLineEdit(GroupBox3);
  Edit1->setGeometry(8, 16, 385, 22);
  Edit1->setFont(PixelFont("Arial", 14));
  Edit1->setText(folder_);

  Open1 = new QPushButton(GroupBox3);
  Open1->setGeometry(400, 16, 41, 25);
  Open1->setFont(PixelFont("KORVELI Tor", 16));
  Open1->setIcon(OpenFolderImage());
  Open1->setIconSize(QSize(16, 16));
}

// The direction list: blue on the tooltip colour, read right to left, the eight recoding
// directions and then the script entries.
void TForm1::BuildDirectionList() {
  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(128, 81, 329, 297);

  TntComboBox1 = new QComboBox(GroupBox1);
  TntComboBox1->setGeometry(3, 16, 318, 31);
  TntComboBox1->setFont(PixelFont("KORVELI Basma Tom", 16));
  TntComboBox1->setEditable(false);  // so that a direction is always current
  QPalette p = TntComboBox1->palette();
  const QColor tip = QApplication::palette().color(QPalette::ToolTipBase);
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    p.setColor(group, QPalette::Text, Qt::blue);
    p.setColor(group, QPalette::ButtonText, Qt::blue);
  }
  p.setColor(QPalette::Base, tip);
  p.setColor(QPalette::Button, tip);
  TntComboBox1->setPalette(p);
  // The drop-down list is a window of its own: it gets the same colours and direction.
  TntComboBox1->setItemDelegate(new DirectionEntries(TntComboBox1));
  QAbstractItemView* list = TntComboBox1->view();
  p.setColor(QPalette::Window, tip);
  list->setPalette(p);
  list->setLayoutDirection(Qt::RightToLeft);
  for (int i = 0; i < recode::kDirectionCount; ++i)
    TntComboBox1->addItem(tr(kDirectionCaptions[i]));
  for (const ScriptEntry& entry : kScriptEntries) TntComboBox1->addItem(tr(entry.caption));
}

void TForm1::BuildDocumentList() {
  ListBox1 = new DocumentList(GroupBox1);
  ListBox1->setGeometry(2, 56, 325, 239);
  ListBox1->setFont(PixelFont("Arial", 14));
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setItemDelegate(new FixedRowHeight(ListBox1));
  ListBox1->setUniformItemSizes(true);
  ListBox1->setAcceptDrops(true);
  ListBox1->viewport()->setAcceptDrops(true);
  ListBox1->setDragDropMode(QAbstractItemView::DropOnly);
}

void TForm1::BuildButtons() {
  GroupBox2 = new QGroupBox(this);
  GroupBox2->setGeometry(8, 81, 119, 297);

  auto flat_button = [this](const QRect& geometry, const QIcon& icon, int icon_size,
                            const QColor& text) {
    auto* button = new FlatButton(GroupBox2);
    button->setGeometry(geometry);
    button->setFont(PixelFont("KORVELI", 14));
    button->setIcon(icon);
    button->setIconSize(QSize(icon_size, icon_size));
    QPalette p = button->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
      p.setColor(group, QPalette::ButtonText, text);
    button->setPalette(p);
    return button;
  };
  Convert1 = flat_button(QRect(8, 32, 105, 33), ConvertImage(), 16, QColor(0, 128, 0));
  TntSpeedButton1 = flat_button(QRect(8, 80, 105, 33), PageImage(), 16, Qt::black);
  TntSpeedButton4 = flat_button(QRect(7, 128, 106, 33), RemoveImage(), 16, Qt::black);
  TntSpeedButton2 = flat_button(QRect(7, 192, 106, 33), HelpImage(), 18, Qt::black);
  TntSpeedButton3 = flat_button(QRect(7, 240, 106, 33), DoorImage(), 18, Qt::black);
  SetListButtonsEnabled(false);
}

// The progress bar, the status bar and the open dialog's settings.
void TForm1::BuildBottom() {
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(8, 384, 449, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  TntStatusBar1 = new QStatusBar(this);
  TntStatusBar1->setGeometry(0, 404, 460, 19);
  TntStatusBar1->setSizeGripEnabled(false);
  StatusPanel = new QLabel(tr("docrecode %1 — 维吾尔文文档代码转换").arg(QStringLiteral(UY_VERSION)),
                           TntStatusBar1);
  StatusPanel->setLayoutDirection(gui::TextDirection());
  TntStatusBar1->addWidget(StatusPanel, 1);

  OpenDialog1.multiple = true;
  // Qt reads the last parenthesised group of an entry as its pattern.
  OpenDialog1.filters = {
      tr("Microsoft Word File(*.doc)") + QStringLiteral(" (*.doc*)"),
      tr("Microsoft Excel File(*.xls)") + QStringLiteral(" (*.xls*)"),
      tr("Microsoft Powerpoint(*.ppt)") + QStringLiteral(" (*.ppt*)"),
      tr("All files (*.*)") + QStringLiteral(" (*)"),
  };
  OpenDialog1.selected_filter = 0;
}

// The tab order and the handlers.
void TForm1::ConnectHandlers() {
  for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Open1),
                     static_cast<QWidget*>(ListBox1), static_cast<QWidget*>(TntComboBox1)})
    w->setFocusPolicy(Qt::StrongFocus);
  setTabOrder(Edit1, Open1);
  setTabOrder(Open1, ListBox1);
  setTabOrder(ListBox1, TntComboBox1);

  connect(Open1, &QPushButton::clicked, this, &TForm1::Open1Click);
  connect(Convert1, &QToolButton::clicked, this, &TForm1::Convert1Click);
  connect(TntComboBox1, &QComboBox::currentIndexChanged, this, [this] { MarkContradictions(); });
  connect(TntSpeedButton1, &QToolButton::clicked, this, &TForm1::TntSpeedButton1Click);
  connect(TntSpeedButton4, &QToolButton::clicked, this, &TForm1::TntSpeedButton4Click);
  connect(TntSpeedButton3, &QToolButton::clicked, this, &TForm1::TntSpeedButton3Click);
  connect(ListBox1, &DocumentList::FilesDropped, this,
          [this](const QStringList& paths) { Guard([&] { AddDocuments(paths); }); });
}

void TForm1::FormCreate() {
  Guard([this] {
    // The bar fills from right to left; the direction list reads right to left.
    ProgressBar1->setLayoutDirection(Qt::RightToLeft);
    TntComboBox1->setLayoutDirection(Qt::RightToLeft);

    Convert1->setText(Caption(kButtonKeys[0]));
    TntLabel1->setText(Caption(kButtonKeys[1]));
    TntSpeedButton1->setText(Caption(kButtonKeys[2]));
    TntSpeedButton2->setText(Caption(kButtonKeys[3]));
    TntSpeedButton3->setText(Caption(kButtonKeys[4]));
    TntSpeedButton4->setText(Caption(kButtonKeys[5]));

    TntComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Norvatek Code Convertor(诺瓦代码转换器)"));
  });
}

QString TForm1::EntryPath(int row) const {
  const QListWidgetItem* item = ListBox1->item(row);
  if (!item) return QString();
  return item->data(kFolderRole).toString() + item->text();
}

void TForm1::Guard(const std::function<void()>& body) {
  gui::Guarded(this, *dialogs_, QString::fromLatin1(kProgramName), body);
}

void TForm1::SetListButtonsEnabled(bool enabled) {
  Convert1->setEnabled(enabled);
  TntSpeedButton1->setEnabled(enabled);
  TntSpeedButton4->setEnabled(enabled);
}

void TForm1::AddDocuments(const QStringList& paths) {
  if (paths.isEmpty()) return;
  folder_ = WithTrailingSlash(QFileInfo(paths.first()).absolutePath());
  for (const QString& path : paths) {
    const QFileInfo info(path);
    const QString folder = WithTrailingSlash(info.absolutePath());
    auto* item = new QListWidgetItem(info.fileName());
    item->setData(kFolderRole, folder);
    item->setToolTip(QDir::toNativeSeparators(folder + info.fileName()));
    try {
      const formats::Detection d = formats::DetectDocument(gui::ToPath(folder + info.fileName()));
      item->setData(kVerdictRole, static_cast<int>(d.verdict));
      item->setData(kVerdictDirectionRole, d.direction);
      item->setData(kConfidenceRole, d.confidence);
    } catch (const std::exception&) {
      // unreadable now: the conversion will say why
    }
    ListBox1->addItem(item);
  }
  MarkContradictions();
  SetListButtonsEnabled(true);
  Edit1->setText(folder_);
  ListBox1->setCurrentRow(0);
  last_output_ = EntryPath(0);
}

void TForm1::Open1Click() {
  Guard([this] {
    gui::FileDialogOptions options = OpenDialog1;
    options.directory = folder_;
    const QStringList files = dialogs_->OpenFileNames(this, options);
    if (files.isEmpty()) return;  // cancelled
    AddDocuments(files);
  });
}

void TForm1::Convert1Click() {
  Guard([this] { RunConversion(); });
}

void TForm1::RunConversion() {
  if (busy_) return;
  std::vector<recode::BatchEntry> entries;
  for (int row = 0; row < ListBox1->count(); ++row) {
    const QListWidgetItem* item = ListBox1->item(row);
    entries.push_back({gui::ToPath(item->data(kFolderRole).toString()),
                       QFile::encodeName(item->text()).toStdString()});
  }
  const int index = TntComboBox1->currentIndex();
  const ScriptEntry* script_entry = ScriptEntryAt(index);
  const int direction = script_entry ? 0 : index;  // checked by the batch, unused by a script entry

  std::vector<QString> outputs(entries.size());
  std::vector<recode::BatchFailure> failures;
  QStringList unchanged;
  {
    busy_ = true;
    struct Idle {
      bool& busy;
      ~Idle() { busy = false; }
    } idle{busy_};
    InputBlocker blocker;
    BarSink sink(ProgressBar1, &blocker);
    std::size_t current = 0;
    recode::BatchCallbacks callbacks;
    callbacks.on_current = [&](std::size_t i) {
      current = i;
      ListBox1->setCurrentRow(static_cast<int>(i));
      blocker.Pump(true);
    };
    callbacks.on_last_output = [&](const std::filesystem::path& output) {
      outputs[current] = gui::FromPath(output);
      last_output_ = outputs[current];
    };
    callbacks.progress = &sink;
    callbacks.recoder = script_entry ? ScriptConverter(*script_entry) : recoder_;
    if (script_entry) callbacks.suffix = std::string(docscript::OutputSuffix(script_entry->to));
    callbacks.on_unchanged = [&](std::size_t i) { unchanged << ListBox1->item(static_cast<int>(i))->text(); };
    failures = recode::RunBatch(entries, direction, callbacks);
    blocker.Pump(true);
  }
  if (!entries.empty()) RememberOutput(outputs, failures);

  const QString caption = QString::fromLatin1(kProgramName);
  const QString text = CompletionText(failures) + UnchangedText(unchanged) +
                       (script_entry ? QString() : ContradictionText(direction));
  if (failures.empty())
    dialogs_->Message(this, caption, text);
  else
    dialogs_->Error(this, caption, text);
  converted_ = true;
}

// The open button offers the latest output this run wrote. When it wrote none, it keeps the
// latest result of an earlier run that is still there, or has nothing to open.
void TForm1::RememberOutput(const std::vector<QString>& outputs, const std::vector<recode::BatchFailure>& failures) {
  std::set<std::size_t> failed;
  for (const recode::BatchFailure& f : failures) failed.insert(f.index);
  QString written;
  for (std::size_t i = outputs.size(); i-- > 0;) {
    if (!failed.count(i)) {
      written = outputs[i];
      break;
    }
  }
  if (written.isEmpty() && QFileInfo::exists(last_written_)) written = last_written_;
  last_output_ = last_written_ = written;
}

// Documents without any character of the direction's source encoding: their outputs
// were written, but hold the document as it was.
QString TForm1::UnchangedText(const QStringList& names) {
  if (names.isEmpty()) return {};
  const int count = static_cast<int>(names.size());
  QString text = QStringLiteral("\n\n") + tr("%n 个文档中没有需要转换的字符，输出文件与原文件相同：", nullptr, count);
  for (qsizetype i = 0; i < names.size() && i < static_cast<qsizetype>(kListedFailures); ++i)
    text += QLatin1Char('\n') + gui::LeftToRightPart(names[i]);
  if (names.size() > static_cast<qsizetype>(kListedFailures))
    text += QLatin1Char('\n') + tr("…还有 %n 个", nullptr, count - static_cast<int>(kListedFailures));
  return text;
}

QString TForm1::CompletionText(const std::vector<recode::BatchFailure>& failures) const {
  QString text = tr("代码转换完毕");
  if (failures.empty()) return text;
  const int failed = static_cast<int>(failures.size());
  const int done = ListBox1->count() - failed;
  text += QStringLiteral("\n\n");
  if (done <= 0)
    text += tr("转换失败：%n 个文档都未能转换，没有写出任何文件：", nullptr, failed);
  else
    text += tr("%n 个文档未能转换（%1 个已转换）：", nullptr, failed).arg(done);
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i)
    text += QLatin1Char('\n') + FailureReason(failures[i]);
  if (failures.size() > kListedFailures)
    text += QLatin1Char('\n') + tr("…还有 %n 个", nullptr, failed - static_cast<int>(kListedFailures));
  return text;
}

QString TForm1::FailureReason(const recode::BatchFailure& failure) {
  if (!failure.error) return QString::fromUtf8(failure.reason);
  try {
    std::rethrow_exception(failure.error);
  } catch (const formats::DocumentError& e) {
    const QString why = e.encrypted() ? tr("文档已加密")
                                      : tr("文档已损坏或格式不符：%1").arg(QString::fromUtf8(e.what()));
    return tr("无法转换 %1：%2").arg(gui::LeftToRightPart(QDir::toNativeSeparators(gui::FromPath(failure.input))), why);
  } catch (...) {
    return gui::FailureText(std::current_exception());
  }
}

void TForm1::TntSpeedButton1Click() {
  Guard([this] {
    QString path;
    if (converted_) {
      path = last_output_;
    } else {
      const int row = ListBox1->currentRow();
      if (row < 0) return;
      path = EntryPath(row);
    }
    // After a run the result must exist: the desktop is never asked to open a missing file.
    if (converted_ && (path.isEmpty() || !QFileInfo::exists(path))) {
      const QString text = path.isEmpty() ? tr("没有可以打开的转换结果。")
                                          : tr("文件不存在：%1").arg(gui::LeftToRightPart(QDir::toNativeSeparators(path)));
      dialogs_->Message(this, QString::fromLatin1(kProgramName), text);
      return;
    }
    if (path.isEmpty()) return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));  // the desktop reports its own failures
  });
}

void TForm1::TntSpeedButton4Click() {
  Guard([this] {
    const int row = ListBox1->currentRow();
    if (row >= 0) delete ListBox1->takeItem(row);
    MarkContradictions();
    if (ListBox1->count() == 0) {
      SetListButtonsEnabled(false);
      converted_ = false;
    } else {
      ListBox1->setCurrentRow(0);
    }
  });
}

void TForm1::TntSpeedButton3Click() {
  Guard([this] { close(); });
}

}  // namespace uy::docrecode

namespace uy::docrecode {

// Entries whose content says the chosen direction garbles them get a warning icon and a
// tooltip naming what the content looks like. The direction itself is never changed.
void TForm1::MarkContradictions() {
  const int direction = TntComboBox1->currentIndex();
  std::set<int> legacy;
  bool all_legacy = ListBox1->count() > 0;
  for (int row = 0; row < ListBox1->count(); ++row) {
    QListWidgetItem* item = ListBox1->item(row);
    const formats::Detection d = EntryDetection(item);
    QString tip = QDir::toNativeSeparators(EntryPath(row));
    if (direction >= 0 && direction < recode::kDirectionCount && formats::ContradictsDirection(d, direction)) {
      item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
      tip += QLatin1Char('\n') + ContradictionReason(d, direction);
    } else {
      item->setIcon(QIcon());
    }
    item->setToolTip(gui::InTextDirection(tip));
    if (d.verdict == formats::Detection::Verdict::kLegacy && d.confidence >= formats::kClearConfidence)
      legacy.insert(d.direction);
    else
      all_legacy = false;
  }
  // A suggestion only: when every document reads as one legacy encoding, say which.
  if (!StatusPanel->property("idle").isValid()) StatusPanel->setProperty("idle", StatusPanel->text());
  if (all_legacy && legacy.size() == 1) {
    const int suggested = *legacy.begin();
    StatusPanel->setText(tr("所有文档看起来都适合方向 %1：%2").arg(suggested).arg(tr(kDirectionCaptions[suggested])));
  } else {
    StatusPanel->setText(StatusPanel->property("idle").toString());
  }
}

QString TForm1::ContradictionText(int direction) const {
  QString text;
  for (int row = 0; row < ListBox1->count(); ++row) {
    const formats::Detection d = EntryDetection(ListBox1->item(row));
    if (direction < 0 || direction >= recode::kDirectionCount || !formats::ContradictsDirection(d, direction))
      continue;
    if (text.isEmpty()) text = QStringLiteral("\n\n") + tr("已按所选方向转换，但以下文档的内容与该方向不符：");
    text += QLatin1Char('\n') + tr("%1：%2").arg(gui::LeftToRightPart(ListBox1->item(row)->text()), ContradictionReason(d, direction));
  }
  return text;
}

QString TForm1::ContradictionReason(const formats::Detection& d, int direction) {
  if (d.verdict == formats::Detection::Verdict::kUnicode)
    return tr("看起来已是 Unicode 文本；按方向 %1 转换会使其变成乱码").arg(direction);
  return tr("看起来是旧编码（方向 %1：%2）的文本，不是 Unicode 文本；按方向 %3 转换会使其变成乱码")
      .arg(d.direction)
      .arg(QString::fromStdString(d.EncodingNames()))
      .arg(direction);
}

const char* TForm1::DirectionCaptionSource(int direction) { return kDirectionCaptions[direction]; }

}  // namespace uy::docrecode
