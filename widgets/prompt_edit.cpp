// Placeholder until the prompt edit lands.
#include "widgets/prompt_edit.h"
CPromptEdit::CPromptEdit(QWidget* parent) : QLineEdit(parent) {}
void CPromptEdit::SetPromptText(const QString& prompt) { setPlaceholderText(prompt); }
void CPromptEdit::SetPromptColour(const QColor&) {}
QString CPromptEdit::PromptText() const { return placeholderText(); }
bool CPromptEdit::ShowingPrompt() const { return text().isEmpty(); }
QString CPromptEdit::Text() const { return text(); }
void CPromptEdit::SetText(const QString& t) { setText(t); }
