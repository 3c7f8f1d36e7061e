// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window at scale, offscreen: opening a 50 MB ".uyt" file (400,000 lines)
// and the export of a 100,000-paragraph document, each timed in wall and CPU time, with
// the longest stretch in which the window handled no events, the export compared with
// ExportText of the same lines, and the peak memory. Then files of one huge line (1 MB
// of NUL characters, a 1 MB word) against 1 MB of ordinary lines, opened and scrolled
// through. `bench_editor lines [UNITS]` runs only that part.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "fake_dialogs.h"
#include "text_file.h"
#include "tform1.h"
#include "uy_memo.h"
#include "visual.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Uyghur words with now and then a number or a Latin word, about `width` units a line.
std::u16string MakeLine(std::mt19937& rng, std::size_t width) {
  static const char16_t kLetters[] = u"\u0627\u06D5\u0628\u067E\u062A\u062C\u0686\u062E\u062F\u0631\u0632"
                                     u"\u0698\u0633\u0634\u063A\u0641\u0642\u0643\u06AF\u06AD\u0644\u0645"
                                     u"\u0646\u06BE\u0648\u06C7\u06C6\u06C8\u06CB\u06D0\u0649\u064A";
  std::u16string line;
  while (line.size() < width) {
    if (!line.empty()) line += u' ';
    const unsigned kind = rng() % 20;
    if (kind == 0) {
      line += u"2011.12";
    } else if (kind == 1) {
      line += u"Unicode";
    } else {
      const unsigned n = 2 + rng() % 7;
      for (unsigned i = 0; i < n; ++i) line += kLetters[rng() % (std::size(kLetters) - 1)];
    }
  }
  return line;
}

// Records the longest time between two ticks of a 10 ms timer: how long the window
// went without handling events.
class GapMeter : public QObject {
 public:
  GapMeter() {
    timer_.setInterval(10);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
  }
  void Start() {
    longest_ = 0;
    clock_.start();
    last_ = 0;
    timer_.start();
  }
  qint64 Stop() {
    Tick();
    timer_.stop();
    return longest_;
  }

 private:
  void Tick() {
    const qint64 now = clock_.elapsed();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 last_ = 0, longest_ = 0;
};

struct Timed {
  double wall, cpu;
  qint64 longest_gap_ms;
};

template <typename F>
Timed Time(GapMeter& gaps, F&& f) {
  QApplication::processEvents();
  gaps.Start();
  const double cpu0 = CpuSeconds();
  const auto t0 = std::chrono::steady_clock::now();
  f();
  QApplication::processEvents();  // the layout and painting that follow
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  return {wall, CpuSeconds() - cpu0, gaps.Stop()};
}

// Opens each file of one huge line and the same amount of ordinary lines, scrolls to the
// end and back and types a letter; prints each time and its ratio to the ordinary file.
void HugeLines(uy::uyedit::TForm1& window, GapMeter& gaps, std::mt19937& rng, std::size_t kUnits) {
  std::u16string ordinary;
  while (ordinary.size() < kUnits) ordinary += MakeLine(rng, 60) + u"\r\n";
  std::u16string word;
  while (word.size() < kUnits) word += MakeLine(rng, 60);
  std::erase(word, u' ');
  const std::pair<const char*, std::u16string> files[] = {
      {"1 MB of ordinary lines", ordinary}, {"1 MB of NUL", std::u16string(kUnits, u'\0')}, {"a 1 MB word", word}};
  const auto path = std::filesystem::temp_directory_path() / ("editor_bench_" + std::to_string(getpid()) + ".uyt");
  double baseline = 0;
  for (const auto& [name, text] : files) {
    std::ofstream(path, std::ios::binary) << uy::editor::EncodeTextFile(text);
    const Timed open = Time(gaps, [&] {
      window.OpenFile(QString::fromStdString(path.string()));
      window.TntMemo1->moveCursor(QTextCursor::End);
      QApplication::processEvents();
      window.TntMemo1->moveCursor(QTextCursor::Start);
      window.TntMemo1->insertPlainText(QStringLiteral("x"));
    });
    if (baseline == 0) baseline = open.wall;
    const bool kept = window.TntMemo1->TextCrLf().size() == static_cast<qsizetype>(text.size() + 1);
    std::printf("%s: open, scroll and type %.3f s wall, %.3f s CPU, longest without events %lld ms, "
                "%.1fx the ordinary lines%s\n",
                name, open.wall, open.cpu, static_cast<long long>(open.longest_gap_ms), open.wall / baseline,
                kept ? "" : " (TEXT NOT KEPT)");
    std::fflush(stdout);
  }
  std::filesystem::remove(path);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::mt19937 rng(12);
  uy::gui::RecordingDialogs dialogs;
  uy::uyedit::TForm1 window(&dialogs);
  window.show();
  QApplication::processEvents();
  GapMeter gaps;
  // `bench_editor lines [UNITS]`: only the files of one huge line, of other sizes than 1 MB.
  const bool only_lines = argc > 1 && std::string(argv[1]) == "lines";
  const std::size_t line_units = argc > 2 ? std::stoul(argv[2]) : std::size_t{1} << 20;
  if (only_lines) {
    HugeLines(window, gaps, rng, line_units);
    return 0;
  }

  // Open: 400,000 lines, about 50 MB as ".uyt".
  const auto path = std::filesystem::temp_directory_path() / ("editor_bench_" + std::to_string(getpid()) + ".uyt");
  {
    std::u16string text;
    for (int i = 0; i < 400000; ++i) {
      text += MakeLine(rng, 60);
      text += u"\r\n";
    }
    std::ofstream(path, std::ios::binary) << uy::editor::EncodeTextFile(text);
  }
  const auto size = std::filesystem::file_size(path);
  const Timed open = Time(gaps, [&] { window.OpenFile(QString::fromStdString(path.string())); });
  std::filesystem::remove(path);
  std::printf("open %.1f MB, %d paragraphs: %.3f s wall, %.3f s CPU, longest without events %lld ms\n",
              static_cast<double>(size) / 1e6, window.TntMemo1->document()->blockCount(), open.wall, open.cpu,
              static_cast<long long>(open.longest_gap_ms));
  const Timed undo = Time(gaps, [&] { window.TntMemo1->undo(); });
  std::printf("undo of the open: %.3f s wall, longest without events %lld ms\n", undo.wall,
              static_cast<long long>(undo.longest_gap_ms));

  // Export: 100,000 short paragraphs, each one displayed line.
  {
    std::u16string text;
    for (int i = 0; i < 100000; ++i) {
      text += MakeLine(rng, 20);
      text += u"\r\n";
    }
    window.TntMemo1->setPlainText(QString::fromStdU16String(text));
    QApplication::processEvents();
  }
  if (qEnvironmentVariableIsSet("SPLIT")) {
    const Timed lay = Time(gaps, [&] { window.TntMemo1->DisplayedLines(); });
    std::printf("DisplayedLines first %.3f CPU\n", lay.cpu);
  }
  const Timed exported = Time(gaps, [&] { window.ToolButton4Click(); });
  std::vector<std::u16string> lines;
  for (const QString& line : window.TntMemo1->DisplayedLines()) lines.push_back(line.toStdU16String());
  const double e0 = CpuSeconds();
  const std::u16string engine = uy::exporter::ExportText(lines);
  const double engine_cpu = CpuSeconds() - e0;
  const bool same = QGuiApplication::clipboard()->text().toStdU16String() == engine;
  std::printf("export %zu lines: %.3f s wall, %.3f s CPU, longest without events %lld ms; "
              "ExportText of the same lines %.3f s CPU; window/ExportText %.1fx%s\n",
              lines.size(), exported.wall, exported.cpu, static_cast<long long>(exported.longest_gap_ms),
              engine_cpu, exported.cpu / std::max(engine_cpu, 1e-9), same ? "" : " (CLIPBOARD DIFFERS)");

  HugeLines(window, gaps, rng, line_units);  // last: its text area then keeps looking for pieces

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak RSS %.0f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
  return same ? 0 : 1;
}
