// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"

#include <algorithm>
#include <filesystem>
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
#include "detect.h"
#include "formats.h"
#include "guard.h"
#include "input_blocker.h"
#include "letters.h"
#include "paths.h"
#include "tables.h"
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

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setGeometry(128, 81, 329, 297);

  TntComboBox1 = new QComboBox(GroupBox1);
  TntComboBox1->setGeometry(3, 16, 318, 31);
  TntComboBox1->setFont(PixelFont("KORVELI Basma Tom", 16));
  TntComboBox1->setEditable(false);  // so that a direction is always current
  {
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
  }
  for (int i = 0; i < recode::kDirectionCount; ++i)
    TntComboBox1->addItem(QString::fromStdU16String(std::u16string(recode::GetDirection(i).caption)));

  ListBox1 = new DocumentList(GroupBox1);
  ListBox1->setGeometry(2, 56, 325, 239);
  ListBox1->setFont(PixelFont("Arial", 14));
  ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox1->setItemDelegate(new FixedRowHeight(ListBox1));
  ListBox1->setUniformItemSizes(true);
  ListBox1->setAcceptDrops(true);
  ListBox1->viewport()->setAcceptDrops(true);
  ListBox1->setDragDropMode(QAbstractItemView::DropOnly);

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

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setGeometry(8, 384, 449, 17);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

  TntStatusBar1 = new QStatusBar(this);
  TntStatusBar1->setGeometry(0, 404, 460, 19);
  TntStatusBar1->setSizeGripEnabled(false);
  StatusPanel = new QLabel(QStringLiteral("docrecode " UY_VERSION " \u2014 Uyghur document recoder"),
                           TntStatusBar1);
  TntStatusBar1->addWidget(StatusPanel, 1);

  OpenDialog1.multiple = true;
  OpenDialog1.filters = {
      QStringLiteral("Microsoft Word File(*.doc) (*.doc*)"),
      QStringLiteral("Microsoft Excel File(*.xls) (*.xls*)"),
      QStringLiteral("Microsoft Powerpoint(*.ppt) (*.ppt*)"),
      QStringLiteral("All files (*.*) (*)"),
  };
  OpenDialog1.selected_filter = 0;

  // The controls that take the keyboard focus, in tab order.
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

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TForm1::FormCreate() {
  Guard([this] {
    // The bar fills from right to left; the direction list reads right to left.
    ProgressBar1->setLayoutDirection(Qt::RightToLeft);
    TntComboBox1->setLayoutDirection(Qt::RightToLeft);

    Convert1->setText(Uyghur("/flmfxturux"));
    TntLabel1->setText(Uyghur("norwftek kod /flmfxturux 3.0"));
    TntSpeedButton1->setText(Uyghur("/eqhx"));
    TntSpeedButton2->setText(Uyghur("yfrdgm"));
    TntSpeedButton3->setText(Uyghur("qekhnhx"));
    TntSpeedButton4->setText(Uyghur("tfzhlfx"));

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
  const int direction = TntComboBox1->currentIndex();

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
    callbacks.recoder = recoder_;
    callbacks.on_unchanged = [&](std::size_t i) { unchanged << ListBox1->item(static_cast<int>(i))->text(); };
    failures = recode::RunBatch(entries, direction, callbacks);
    blocker.Pump(true);
  }

  // The open button offers the latest output this run wrote. When it wrote none, it keeps
  // the latest result of an earlier run that is still there, or has nothing to open.
  if (!entries.empty()) {
    std::set<std::size_t> failed;
    for (const recode::BatchFailure& f : failures) failed.insert(f.index);
    QString written;
    for (std::size_t i = entries.size(); i-- > 0;) {
      if (!failed.count(i)) {
        written = outputs[i];
        break;
      }
    }
    if (written.isEmpty() && QFileInfo::exists(last_written_)) written = last_written_;
    last_output_ = last_written_ = written;
  }

  const QString caption = QString::fromLatin1(kProgramName);
  const QString text = CompletionText(failures) + UnchangedText(unchanged) + ContradictionText(direction);
  if (failures.empty())
    dialogs_->Message(this, caption, text);
  else
    dialogs_->Error(this, caption, text);
  converted_ = true;
}

// Documents without any character of the direction's source encoding: their outputs
// were written, but hold the document as it was.
QString TForm1::UnchangedText(const QStringList& names) {
  if (names.isEmpty()) return {};
  QString text = QStringLiteral("\n\n%1 个文档中没有需要转换的字符，输出文件与原文件相同：").arg(names.size());
  for (qsizetype i = 0; i < names.size() && i < static_cast<qsizetype>(kListedFailures); ++i)
    text += QLatin1Char('\n') + names[i];
  if (names.size() > static_cast<qsizetype>(kListedFailures))
    text += QStringLiteral("\n…还有 %1 个").arg(names.size() - static_cast<qsizetype>(kListedFailures));
  return text;
}

QString TForm1::CompletionText(const std::vector<recode::BatchFailure>& failures) const {
  QString text = QStringLiteral("代码转换完毕");
  if (failures.empty()) return text;
  const qsizetype done =
      static_cast<qsizetype>(ListBox1->count()) - static_cast<qsizetype>(failures.size());
  if (done <= 0)
    text += QStringLiteral("\n\n转换失败：%1 个文档都未能转换，没有写出任何文件：").arg(failures.size());
  else
    text += QStringLiteral("\n\n%1 个文档未能转换（%2 个已转换）：").arg(failures.size()).arg(done);
  for (std::size_t i = 0; i < failures.size() && i < kListedFailures; ++i)
    text += QLatin1Char('\n') + QString::fromUtf8(failures[i].reason);
  if (failures.size() > kListedFailures)
    text += QStringLiteral("\n…还有 %1 个").arg(failures.size() - kListedFailures);
  return text;
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
      const QString text = path.isEmpty()
                               ? QStringLiteral("没有可以打开的转换结果。")
                               : QStringLiteral("文件不存在：%1").arg(QDir::toNativeSeparators(path));
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
    if (direction >= 0 && formats::ContradictsDirection(d, direction)) {
      item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
      tip += QLatin1Char('\n') + QString::fromStdString(formats::ContradictionReason(d, direction));
    } else {
      item->setIcon(QIcon());
    }
    item->setToolTip(tip);
    if (d.verdict == formats::Detection::Verdict::kLegacy && d.confidence >= formats::kClearConfidence)
      legacy.insert(d.direction);
    else
      all_legacy = false;
  }
  // A suggestion only: when every document reads as one legacy encoding, say which.
  if (!StatusPanel->property("idle").isValid()) StatusPanel->setProperty("idle", StatusPanel->text());
  if (all_legacy && legacy.size() == 1) {
    const int suggested = *legacy.begin();
    StatusPanel->setText(QStringLiteral("All documents look like direction %1: %2")
                             .arg(suggested)
                             .arg(QString::fromStdU16String(std::u16string(recode::GetDirection(suggested).caption))));
  } else {
    StatusPanel->setText(StatusPanel->property("idle").toString());
  }
}

QString TForm1::ContradictionText(int direction) const {
  QString text;
  for (int row = 0; row < ListBox1->count(); ++row) {
    const formats::Detection d = EntryDetection(ListBox1->item(row));
    if (direction < 0 || !formats::ContradictsDirection(d, direction)) continue;
    if (text.isEmpty()) text = QStringLiteral("\n\nConverted as asked, though the content contradicts the direction:");
    text += QLatin1Char('\n') + ListBox1->item(row)->text() + QStringLiteral(": ") +
            QString::fromStdString(formats::ContradictionReason(d, direction));
  }
  return text;
}

}  // namespace uy::docrecode
