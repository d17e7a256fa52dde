#include "workspace/instruction_line.h"

#include <QTextCursor>
#include <algorithm>

CInstructionLine::CInstructionLine(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setAcceptRichText(false);
  setAcceptDrops(false);
  setUndoRedoEnabled(false);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTextInteractionFlags(Qt::NoTextInteraction);
  // Transparent: the warm background of the view shows through.
  setAttribute(Qt::WA_TranslucentBackground);
  viewport()->setAutoFillBackground(false);
  setStyleSheet(QStringLiteral("QTextEdit { background: transparent; }"));
  document()->setDocumentMargin(1);
  QFont arial(QStringLiteral("Arial"));
  arial.setPointSize(9);
  setFont(arial);
  document()->setDefaultFont(arial);
}

void CInstructionLine::SetInstruction(const QString& text,
                                      std::span<const engine::TextRange> bold) {
  setPlainText(text);
  const int length = document()->characterCount() - 1;  // without the closing paragraph mark
  QTextCharFormat emphasis;
  emphasis.setFontWeight(QFont::Bold);
  for (const engine::TextRange& range : bold) {
    const int first = std::clamp(range.first, 0, length);
    const int end = std::clamp(range.end, first, length);
    if (first == end) continue;
    QTextCursor cursor(document());
    cursor.setPosition(first);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.mergeCharFormat(emphasis);
  }
}
