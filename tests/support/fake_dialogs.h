// SPDX-License-Identifier: GPL-3.0-or-later
// A Dialogs that shows nothing: it answers from queues filled by a test and records
// every call. An empty queue answers "cancelled".
#pragma once

#include <deque>
#include <optional>
#include <vector>

#include "dialogs.h"

namespace uy::gui {

class RecordingDialogs : public Dialogs {
 public:
  enum class Kind { Open, Save, Colour, Message, Error };
  struct Call {
    Kind kind;
    QWidget* parent = nullptr;
    FileDialogOptions options;  // Open and Save
    QColor colour;              // Colour: the initial colour
    QString caption;            // Message and Error
    QString text;
  };

  std::deque<QStringList> open_answers;
  std::deque<QString> save_answers;
  std::deque<std::optional<QColor>> colour_answers;
  std::vector<Call> calls;

  QStringList OpenFileNames(QWidget* parent, const FileDialogOptions& options) override {
    calls.push_back({Kind::Open, parent, options, {}, {}, {}});
    return Take(open_answers, QStringList());
  }
  QString SaveFileName(QWidget* parent, const FileDialogOptions& options) override {
    calls.push_back({Kind::Save, parent, options, {}, {}, {}});
    return Take(save_answers, QString());
  }
  std::optional<QColor> Colour(QWidget* parent, const QColor& initial) override {
    calls.push_back({Kind::Colour, parent, {}, initial, {}, {}});
    return Take(colour_answers, std::optional<QColor>());
  }
  void Message(QWidget* parent, const QString& caption, const QString& text) override {
    calls.push_back({Kind::Message, parent, {}, {}, caption, text});
  }
  void Error(QWidget* parent, const QString& caption, const QString& text) override {
    calls.push_back({Kind::Error, parent, {}, {}, caption, text});
  }

  // The calls of one kind, in order.
  std::vector<Call> Of(Kind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.kind == kind) out.push_back(c);
    return out;
  }

 private:
  template <class T>
  static T Take(std::deque<T>& queue, T cancelled) {
    if (queue.empty()) return cancelled;
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
  }
};

}  // namespace uy::gui
