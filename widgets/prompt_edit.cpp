#include "widgets/prompt_edit.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {
const QColor kDefaultPromptColour(119, 121, 118);
const QString kDefaultPrompt = QStringLiteral("<Enter text here>");
}  // namespace

CPromptEdit::CPromptEdit(QWidget* parent)
    : QLineEdit(parent), prompt_(kDefaultPrompt), promptColour_(kDefaultPromptColour) {
  ShowPromptText();
  ApplyColours();
}

void CPromptEdit::SetPromptText(const QString& prompt) {
  prompt_ = prompt;
  if (!showingPrompt_) return;
  if (prompt_.isEmpty()) {
    showingPrompt_ = false;
    setText(QString());
    ApplyColours();
    return;
  }
  ShowPromptText();
}

void CPromptEdit::SetPromptColour(const QColor& colour) {
  promptColour_ = colour;
  ApplyColours();
}

QString CPromptEdit::Text() const {
  return showingPrompt_ ? QString() : text();
}

void CPromptEdit::SetText(const QString& newText) {
  if (newText.isNull()) return;
  if (showingPrompt_) {
    if (newText.isEmpty() || newText == prompt_) return;
    showingPrompt_ = false;
    ApplyColours();
  }
  setText(newText);
}

void CPromptEdit::keyPressEvent(QKeyEvent* event) {
  DropPrompt();
  QLineEdit::keyPressEvent(event);
}

void CPromptEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton ||
      event->button() == Qt::RightButton) {
    DropPrompt();
  }
  QLineEdit::mousePressEvent(event);
}

void CPromptEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (!showingPrompt_) return;
  // Tabbing in would select the whole prompt: the caret goes after it instead, unselected.
  deselect();
  setCursorPosition(static_cast<int>(text().size()));
}

void CPromptEdit::inputMethodEvent(QInputMethodEvent* event) {
  if (!event->commitString().isEmpty() || !event->preeditString().isEmpty()) DropPrompt();
  QLineEdit::inputMethodEvent(event);
}

void CPromptEdit::dropEvent(QDropEvent* event) {
  DropPrompt();
  QLineEdit::dropEvent(event);
}

void CPromptEdit::DropPrompt() {
  if (!showingPrompt_) return;
  showingPrompt_ = false;
  // setText also empties the undo history, so undoing cannot bring the prompt back.
  setText(QString());
  ApplyColours();
}

void CPromptEdit::ShowPromptText() {
  setText(prompt_);
  deselect();
  setCursorPosition(static_cast<int>(prompt_.size()));
}

void CPromptEdit::ApplyColours() {
  if (!showingPrompt_) {
    // Back to the colours the edit inherits, so that a later change of look reaches it.
    setPalette(QPalette());
    return;
  }
  QPalette colours = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Text, promptColour_);
  }
  setPalette(colours);
}
