#include "widgets/prompt_edit.h"

namespace {
const QColor kDefaultPromptColour(119, 121, 118);
}  // namespace

CPromptEdit::CPromptEdit(QWidget* parent) : QLineEdit(parent) {
  SetPromptColour(kDefaultPromptColour);
  SetPromptText(QStringLiteral("<Enter text here>"));
}

void CPromptEdit::SetPromptText(const QString& prompt) {
  setPlaceholderText(prompt);
}

void CPromptEdit::SetPromptColour(const QColor& colour) {
  QPalette colours = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::PlaceholderText, colour);
  }
  setPalette(colours);
}

QString CPromptEdit::PromptText() const {
  return placeholderText();
}

bool CPromptEdit::ShowingPrompt() const {
  return text().isEmpty() && !placeholderText().isEmpty();
}

// The prompt is only painted, never stored as the content, so the content is already empty.
QString CPromptEdit::Text() const {
  return text();
}

void CPromptEdit::SetText(const QString& text) {
  if (text.isEmpty() && ShowingPrompt()) return;
  setText(text);
}
