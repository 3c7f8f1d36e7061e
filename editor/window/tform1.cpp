// SPDX-License-Identifier: GPL-3.0-or-later
#include "tform1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTextOption>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <future>
#include <stdexcept>

#include "failure_text.h"
#include "guard.h"
#include "letters.h"
#include "paths.h"
#include "rulers.h"
#include "text_file.h"
#include "translations.h"
#include "uy_memo.h"
#include "visual.h"

namespace uy::uyedit {

TForm1* Form1 = nullptr;

const QStringList TForm1::kFontFilterWords = {QStringLiteral("KORVELI"), QStringLiteral("UKIJ"),
                                              QStringLiteral("UKK")};
const QString TForm1::kCaption = QStringLiteral("Norvatek KORVELI 5.7(编辑器)");

namespace {

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
// Qt reads the last parenthesised group of an entry as its pattern.
QStringList FileFilters() {
  return {TForm1::tr("Text File(*.UYT)") + QStringLiteral(" (*.uyt)"),
          TForm1::tr("All files(*.*)") + QStringLiteral(" (*)")};
}

QString FileMessage(const uy::editor::TextFileError& e) {
  const QString file = uy::gui::LeftToRightPart(QString::fromStdString(e.full_path()));
  switch (e.message()) {
    case uy::editor::TextFileError::Message::kCannotOpen: return TForm1::tr("Cannot open file %1").arg(file);
    case uy::editor::TextFileError::Message::kCannotCreate: return TForm1::tr("Cannot create file %1").arg(file);
    case uy::editor::TextFileError::Message::kStreamWrite: break;
  }
  return TForm1::tr("Stream write error");
}

// The reader's and writer's message, with the system's reason (and the file, where the
// message does not name it) on a second line.
[[noreturn]] void ThrowFileFailure(const uy::editor::TextFileError& e, const QString& path) {
  QString message = FileMessage(e);
  QString detail = uy::gui::Failures::Reason(e.cause());
  if (!message.contains(path)) detail = uy::gui::LeftToRightPart(path) + (detail.isEmpty() ? QString() : ": " + detail);
  if (!detail.isEmpty()) message += u'\n' + detail;
  throw std::runtime_error(message.toStdString());
}

// Right-to-left reading, right-aligned text, the scroll bar on the left.
void MakeRightToLeft(QPlainTextEdit* memo) {
  memo->setLayoutDirection(Qt::RightToLeft);
  QTextOption option = memo->document()->defaultTextOption();
  option.setTextDirection(Qt::RightToLeft);
  option.setAlignment(Qt::AlignRight | Qt::AlignAbsolute);
  memo->document()->setDefaultTextOption(option);
}

QToolButton* NewButton(QWidget* parent, const QString& name, const QIcon& icon,
                       const QString& hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setIcon(icon);
  button->setToolTip(hint);
  button->setAutoRaise(true);  // flat buttons
  return button;
}

// The waiting cursor while a command may take a moment.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// Runs `work` on another thread and returns its result (or throws its exception), while
// this thread goes on handling the window's events other than user input.
template <typename Work>
auto WhileHandlingEvents(Work work) {
  auto result = std::async(std::launch::async, std::move(work));
  while (result.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  return result.get();
}

}  // namespace

TForm1::TForm1(uy::gui::Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent),
      own_dialogs_(dialogs ? nullptr : std::make_unique<uy::gui::QtDialogs>()),
      dialogs_(dialogs ? dialogs : own_dialogs_.get()) {
  setObjectName(QStringLiteral("Form1"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  ImageList1 = MakeImageList1();
  ImageList2 = MakeImageList2();

  auto* central = new QWidget(this);
  setCentralWidget(central);

  TntMemo2 = new QPlainTextEdit(central);
  TntMemo2->setObjectName(QStringLiteral("TntMemo2"));
  TntMemo2->setGeometry(0, 48, 113, 0);
  TntMemo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TntMemo2->hide();  // never seen; it only holds the last export

  BuildToolBar1();
  BuildStatusBar();

  ToolBar2 = new RulerBar(Qt::Horizontal, central);
  ToolBar2->setObjectName(QStringLiteral("ToolBar2"));
  ToolBar2->setFixedHeight(23);
  ToolBar3 = new RulerBar(Qt::Vertical, central);
  ToolBar3->setObjectName(QStringLiteral("ToolBar3"));
  ToolBar3->setFixedWidth(22);

  OpenDialog1.filters = FileFilters();
  OpenDialog1.default_suffix = QStringLiteral("uyt");
  OpenDialog1.multiple = false;
  OpenDialog1.must_exist = false;  // a missing name fails in the reader with its message
  SaveDialog1.filters = FileFilters();
  SaveDialog1.default_suffix = QStringLiteral("UYT");
  ColorDialog1 = QList<QColor>(16, QColor(0xFF, 0xFF, 0xFF));
  for (int i = 0; i < ColorDialog1.size() && i < QColorDialog::customCount(); ++i)
    QColorDialog::setCustomColor(i, ColorDialog1[i]);
  BuildMenus();

  TntMemo1 = new UyMemo(central);
  TntMemo1->setObjectName(QStringLiteral("TntMemo1"));
  TntMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  TntMemo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  {
    QPalette pal = TntMemo1->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    TntMemo1->setPalette(pal);
  }
  TntMemo1->setPlainText(QStringLiteral("TntMemo1"));
  TntMemo1->installEventFilter(this);
  TntMemo1->SetTypedHook([this](const QString& typed) { return TntMemo1KeyPress(typed); });

  ListBox1 = new QListWidget(central);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setGeometry(56, 168, 41, 81);
  ListBox1->hide();

  auto* grid = new QGridLayout(central);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(0);
  grid->addWidget(ToolBar2, 0, 0, 1, 2);
  grid->addWidget(ToolBar3, 1, 0);
  grid->addWidget(TntMemo1, 1, 1);

  // The stored window: 584 × 352 client pixels at (192, 130).
  move(192, 130);
  resize(584, 352);

  FormCreate();
  ConnectHandlers();
  TntMemo1->setFocus();
}

TForm1::~TForm1() {
  if (Form1 == this) Form1 = nullptr;
}

void TForm1::BuildToolBar1() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setFixedHeight(24);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
  ToolBar1->setStyleSheet(
      QStringLiteral("QToolBar#ToolBar1 { background: %1; border: 0px; spacing: 0px; }")
          .arg(kSkyBlue.name()));
  addToolBar(Qt::TopToolBarArea, ToolBar1);

  ToolButton11 = NewButton(ToolBar1, QStringLiteral("ToolButton11"), ImageList1[14],
                           tr("切换维吾尔文、英文输入状态"));
  ToolButton11->setCheckable(true);
  ToolButton11->setChecked(true);
  ToolButton12 = NewButton(ToolBar1, QStringLiteral("ToolButton12"), ImageList1[12],
                           tr("打开文件"));
  ToolButton12->setPopupMode(QToolButton::MenuButtonPopup);
  ToolButton1 = NewButton(ToolBar1, QStringLiteral("ToolButton1"), ImageList1[0],
                          tr("新建文件"));
  ToolButton2 = NewButton(ToolBar1, QStringLiteral("ToolButton2"), ImageList1[1],
                          tr("打开文件"));
  ToolButton3 = NewButton(ToolBar1, QStringLiteral("ToolButton3"), ImageList1[2],
                          tr("保存文件"));

  ComboBox1 = new QComboBox(ToolBar1);
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->setFixedWidth(161);
  ComboBox1->setToolTip(tr("选择字体"));

  ComboBox2 = new QComboBox(ToolBar1);
  ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  ComboBox2->setEditable(true);
  ComboBox2->setInsertPolicy(QComboBox::NoInsert);
  ComboBox2->setFixedWidth(48);
  ComboBox2->setToolTip(tr("字体大小"));
  ComboBox2->addItems({"8", "10", "12", "14", "16", "20", "24", "30", "36", "40", "46", "50",
                       "60", "70", "80", "90", "100"});
  ComboBox2->setEditText(QStringLiteral("20"));

  TrackBar1 = new QSlider(Qt::Horizontal, ToolBar1);
  TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
  TrackBar1->setRange(8, 128);
  TrackBar1->setValue(10);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setTickInterval(1);
  TrackBar1->setFixedSize(80, 22);
  TrackBar1->setToolTip(tr("字体大小"));

  ToolButton8 = NewButton(ToolBar1, QStringLiteral("ToolButton8"), ImageList1[11],
                          tr("字体颜色"));
  ToolButton10 = NewButton(ToolBar1, QStringLiteral("ToolButton10"), ImageList1[6],
                           tr("段落对齐"));
  ToolButton10->setPopupMode(QToolButton::InstantPopup);
  ToolButton4 = NewButton(
      ToolBar1, QStringLiteral("ToolButton4"), ImageList1[3],
      tr("本内容转换到Unicode(扩展)并复制到粘贴板 (输出到图形\\图像处理软件)"));
  ToolButton6 = NewButton(ToolBar1, QStringLiteral("ToolButton6"), ImageList1[5], QString());
  ToolButton5 = NewButton(ToolBar1, QStringLiteral("ToolButton5"), ImageList1[4],
                          tr("System Help"));

  for (QWidget* w : {static_cast<QWidget*>(ToolButton11), static_cast<QWidget*>(ToolButton12),
                     static_cast<QWidget*>(ToolButton1), static_cast<QWidget*>(ToolButton2),
                     static_cast<QWidget*>(ToolButton3), static_cast<QWidget*>(ComboBox1),
                     static_cast<QWidget*>(ComboBox2), static_cast<QWidget*>(TrackBar1),
                     static_cast<QWidget*>(ToolButton8), static_cast<QWidget*>(ToolButton10)}) {
    QAction* action = ToolBar1->addWidget(w);
    if (w == ToolButton12) action->setVisible(false);  // hidden buttons take no room
  }
  ToolButton9 = ToolBar1->addSeparator();
  ToolBar1->addWidget(ToolButton4);
  ToolBar1->addWidget(ToolButton6)->setVisible(false);
  ToolBar1->addWidget(ToolButton5)->setVisible(false);
}

void TForm1::BuildStatusBar() {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFixedHeight(18);
  const int widths[] = {350, 150, 0};
  for (int i = 0; i < 3; ++i) {
    auto* panel = new QLabel(StatusBar1);
    panel->setObjectName(QStringLiteral("Panel%1").arg(i));
    panel->setLayoutDirection(uy::gui::TextDirection());
    if (widths[i] > 0) {
      panel->setFixedWidth(widths[i]);
      StatusBar1->addWidget(panel);
    } else {
      // The last panel reaches to the right edge and may be cut, never widen the window.
      panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
      StatusBar1->addWidget(panel, 1);
    }
    Panels.append(panel);
  }
  setStatusBar(StatusBar1);
}

void TForm1::BuildMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  // Key strings shown as they stand; a translation gives the words they stand for.
  const char* captions[] = {
      //: Alignment menu: from right to left (shown as it stands, a key string).
      QT_TR_NOOP("ongdin solcf"),
      //: Alignment menu: from left to right (shown as it stands, a key string).
      QT_TR_NOOP("soldin ongca"),
      //: Alignment menu: align right (shown as it stands, a key string).
      QT_TR_NOOP("ongcftgngxax"),
      //: Alignment menu: align left (shown as it stands, a key string).
      QT_TR_NOOP("solcatangxax"),
      //: Alignment menu: centre (shown as it stands, a key string).
      QT_TR_NOOP("otturhcatang")};
  QAction** items[] = {&a1, &b1, &c1, &d1, &e1};
  for (int i = 0; i < 5; ++i) {
    *items[i] = PopupMenu1->addAction(ImageList2[i], tr(captions[i]));
    (*items[i])->setObjectName(QString::fromLatin1("abcde" + i, 1) + u'1');
  }
  ToolButton10->setMenu(PopupMenu1);
  PopupMenu1->installEventFilter(this);  // centred on its point when shown

  PopupMenu3 = new QMenu(this);
  PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
  FileNew1 = PopupMenu3->addAction(ImageList1[0], tr("FileNew"));
  FileOpen1 = PopupMenu3->addAction(ImageList1[1], tr("FileOpen"));
  FileSave1 = PopupMenu3->addAction(ImageList1[2], tr("FileSave"));
  ToolButton12->setMenu(PopupMenu3);
}

void TForm1::FormCreate() {
  // 1-2. The screen's font families, sorted without regard to case, and those whose
  // names carry one of the filter words (case-sensitive) offered in the font box.
  QStringList families = QFontDatabase::families();
  families.append(QStringLiteral("Default"));
  std::stable_sort(families.begin(), families.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  ListBox1->addItems(families);
  QStringList listed;
  for (int i = 0; i < ListBox1->count(); ++i) listed << ListBox1->item(i)->text();
  ComboBox1->addItems(FontsToOffer(listed));
  // 3. Both text areas read right to left, right-aligned, the scroll bar on the left.
  MakeRightToLeft(TntMemo1);
  MakeRightToLeft(TntMemo2);
  // 4-5.
  ComboBox1->setEditText(QStringLiteral("KORVELI Tor"));
  ComboBox2->addItems({"6", "8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "28",
                       "36", "48", "60", "72", "90"});
  ComboBox2->setEditText(QStringLiteral("18"));
  // 6. The text area starts at 20 points although the size box shows 18.
  QFont font = TntMemo1->font();
  font.setPointSize(ComboBox2->currentText().toInt());
  font.setFamily(ComboBox1->currentText());
  font.setPointSize(20);
  font.setFamily(ComboBox1->currentText());
  TntMemo1->setFont(font);
  // 7.
  const QSize screen = QGuiApplication::primaryScreen()->size();
  Panels[2]->setText(tr("显示分辨率: %1*%2").arg(screen.width()).arg(screen.height()));
  // 8. The greeting.
  TntMemo1->setPlainText(QString::fromStdU16String(uy::KeyStringToUyghur("/gssflfmu/glgykum!")));
  // 9.
  setWindowTitle(kCaption);
}

QStringList TForm1::FontsToOffer(const QStringList& families) {
  QStringList offered;
  for (const QString& name : families) {
    for (const QString& word : kFontFilterWords) {
      if (name.contains(word, Qt::CaseSensitive)) {
        offered << name;
        break;
      }
    }
  }
  return offered;
}

void TForm1::ConnectHandlers() {
  connect(ComboBox1, &QComboBox::editTextChanged, this, [this] { Run([this] { ComboBox1Change(); }); });
  connect(ComboBox2, &QComboBox::editTextChanged, this, [this] { Run([this] { ComboBox2Change(); }); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { Run([this] { TrackBar1Change(); }); });
  // One action per document command: its tool button shows it, the file menu lists the
  // first three, and it carries the shortcut a user of a small editor expects.
  auto* colour = new QAction(ImageList1[11], tr("字体颜色"), this);
  auto* export_text = new QAction(ImageList1[3], tr("导出"), this);
  const struct {
    QAction* action;
    QToolButton* button;
    QKeySequence::StandardKey key;
    void (TForm1::*handler)();
  } commands[] = {
      {FileNew1, ToolButton1, QKeySequence::New, &TForm1::ToolButton1Click},
      {FileOpen1, ToolButton2, QKeySequence::Open, &TForm1::ToolButton2Click},
      {FileSave1, ToolButton3, QKeySequence::Save, &TForm1::ToolButton3Click},
      {colour, ToolButton8, QKeySequence::UnknownKey, &TForm1::ToolButton8Click},
      {export_text, ToolButton4, QKeySequence::UnknownKey, &TForm1::ToolButton4Click},
  };
  for (const auto& command : commands) {
    command.action->setToolTip(command.button->toolTip());
    if (command.key != QKeySequence::UnknownKey) command.action->setShortcut(command.key);
    command.button->setDefaultAction(command.action);
    addAction(command.action);  // the shortcut works wherever the focus is in the window
    connect(command.action, &QAction::triggered, this,
            [this, handler = command.handler] { Run([this, handler] { (this->*handler)(); }); });
  }
}

void TForm1::Run(const std::function<void()>& handler) {
  uy::gui::Guarded(this, *dialogs_, windowTitle(), handler);
}

void TForm1::FormResize() {
  ToolBar2->update();
  ToolBar3->update();
  const int w = TntMemo1->width();
  const int h = TntMemo1->height();
  Panels[0]->setText(SizeInCentimetres(w, h, QLocale().decimalPoint().at(0)));
  Panels[1]->setText(SizeInPixels(w, h));
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The readout follows the text area's own size, which the layout sets after the
  // window's resize.
  if (watched == TntMemo1 && event->type() == QEvent::Resize) FormResize();
  // The drop-down button opens its menu with the left edge at the button's bottom-left
  // corner; the alignment menu is centred horizontally on that point instead.
  if (watched == PopupMenu1 && event->type() == QEvent::Show) {
    const QPoint point = ToolButton10->mapToGlobal(QPoint(0, ToolButton10->height()));
    int x = point.x() - PopupMenu1->width() / 2;
    if (const QScreen* screen = ToolButton10->screen()) {
      const QRect area = screen->availableGeometry();
      x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - PopupMenu1->width()));
    }
    PopupMenu1->move(x, PopupMenu1->y());
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::ToolButton2Click() {
  const QStringList names = dialogs_->OpenFileNames(this, OpenDialog1);
  if (names.isEmpty()) return;
  OpenDialog1.file_name = names.first();
  OpenFile(names.first());
}

void TForm1::OpenFile(const QString& path) {
  const BusyCursor busy;
  struct Loaded {
    uy::editor::DecodedText decoded;
    QString text;
    qsizetype stand_ins = 0;
  };
  Loaded loaded;
  try {
    loaded = WhileHandlingEvents([file = gui::ToPath(path)] {
      Loaded l;
      l.decoded = uy::editor::LoadFromFile(file);
      l.text = QString::fromStdU16String(l.decoded.text);
      l.decoded.text = {};
      UyMemo::HeldText(l.text, &l.stand_ins);
      return l;
    });
  } catch (const uy::editor::TextFileError& e) {
    ThrowFileFailure(e, path);
  }
  const uy::editor::DecodedText& decoded = loaded.decoded;
  const QString& text = loaded.text;
  const qsizetype stand_ins = loaded.stand_ins;
  if (text != TntMemo1->TextCrLf()) TntMemo1->ReplaceText(text);
  // The text is kept whole; what it holds that may surprise is said once, after loading.
  QStringList notes;
  if (decoded.replaced > 0)
    notes << tr("此文件中有 %n 处字节序列不是有效的文本，显示为 \uFFFD。", nullptr,
                static_cast<int>(decoded.replaced));
  if (const qsizetype nuls = text.count(QChar(u'\0')); nuls > 0) {
    QString note = tr("此文件含有 %n 个 NUL 字符（U+0000），显示为方框，保存时原样写回。", nullptr,
                      static_cast<int>(nuls));
    if (decoded.charset == uy::editor::CharacterSet::csAnsi)
      note += tr("它可能是没有字节顺序标记的 UTF-16 文本。");
    notes << note;
  }
  if (decoded.odd_last_byte)
    notes << tr("此 UTF-16 文件以半个字符（一个字节）结尾，该字节已略去。");
  if (stand_ins > 0)
    notes << tr("此文件含有 %n 个 U+102029、U+10FDD0 或 U+10FDD1 字符；编辑器用它们显示 U+2029、U+FDD0 和 "
                "U+FDD1，保存时写成后者。",
                nullptr, static_cast<int>(stand_ins));
  if (!notes.isEmpty()) dialogs_->Message(this, windowTitle(), path + u'\n' + notes.join(u'\n'));
}

void TForm1::ToolButton3Click() {
  const QString name = dialogs_->SaveFileName(this, SaveDialog1);
  if (name.isEmpty()) return;
  SaveDialog1.file_name = name;
  try {
    uy::editor::SaveToFile(gui::ToPath(name), TntMemo1->TextCrLf().toStdU16String());
  } catch (const uy::editor::TextFileError& e) {
    ThrowFileFailure(e, name);
  }
}

void TForm1::ToolButton8Click() {
  const std::optional<QColor> colour =
      dialogs_->Colour(this, TntMemo1->palette().color(QPalette::Text));
  if (!colour) return;
  for (QPlainTextEdit* memo : {static_cast<QPlainTextEdit*>(TntMemo1), TntMemo2}) {
    QPalette pal = memo->palette();
    pal.setColor(QPalette::Text, *colour);
    memo->setPalette(pal);
  }
}

void TForm1::ToolButton4Click() {
  const BusyCursor busy;
  TntMemo2->clear();
  std::u16string clipboard;
  // A wrapped paragraph's lines are ordered as lines of the whole paragraph, as the text
  // area lays them out.
  TntMemo1->VisitDisplayedParagraphs([&clipboard](const QString& text, std::span<const std::size_t> ends) {
    uy::exporter::AppendVisualLines(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())),
        ends, u"\r\n", clipboard);
  });
  if (clipboard.empty()) return;  // an empty editor leaves the clipboard as it was
  const QString text = QString::fromStdU16String(clipboard);
  // The hidden area holds the lines, the clipboard each followed by CR LF; setText keeps
  // CR LF and U+00A0, which copying a selection would not.
  TntMemo2->setPlainText(text.first(text.size() - 2));
  TntMemo2->selectAll();
  QGuiApplication::clipboard()->setText(text);
}

std::optional<QString> TForm1::TntMemo1KeyPress(const QString& typed) {
  keyboard_.set_uyghur_mode(ToolButton11->isChecked());
  bool handled = false;
  const std::u16string insert = keyboard_.PressAll(
      std::u16string_view(reinterpret_cast<const char16_t*>(typed.utf16()), static_cast<std::size_t>(typed.size())),
      &handled);
  if (!handled) return std::nullopt;
  return QString::fromStdU16String(insert);
}

void TForm1::ComboBox1Change() {
  QFont font = TntMemo1->font();
  font.setFamily(ComboBox1->currentText());
  TntMemo1->setFont(font);
}

void TForm1::ComboBox2Change() {
  const QString text = ComboBox2->currentText();
  bool ok = false;
  const int size = text.toInt(&ok, 10);
  // Qt cannot show sizes below 1 point: refuse them like any text that is no size.
  if (!ok || size < 1)
    throw std::runtime_error(tr("'%1' is not a valid integer value").arg(text).toStdString());
  QFont font = TntMemo1->font();
  font.setPointSize(size);
  TntMemo1->setFont(font);
}

void TForm1::TrackBar1Change() {
  const int size = TrackBar1->value();
  QFont font = TntMemo1->font();
  font.setPointSize(size);
  TntMemo1->setFont(font);
  const QString text = QString::number(size);
  TrackBar1->setToolTip(text);
  ComboBox2->setEditText(text);
}

void TForm1::ToolButton1Click() {
  TntMemo1->ReplaceText(QString());  // undoable, unlike clear()
  TntMemo2->clear();
}

}  // namespace uy::uyedit
