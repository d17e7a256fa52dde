// The instruction line: a few lines of guidance in Arial 9 pt on the view's own background,
// with some words in bold.
#pragma once

#include <QTextEdit>
#include <span>

#include "engine/job_view.h"

class CInstructionLine : public QTextEdit {
  Q_OBJECT

 public:
  explicit CInstructionLine(QWidget* parent = nullptr);

  // Sets text and makes each range [first, end) bold; a line break counts as one character.
  // Ranges outside the text are clipped.
  void SetInstruction(const QString& text, std::span<const engine::TextRange> bold);
};
