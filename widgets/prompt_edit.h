// A single-line edit that shows a grey prompt while the user has typed nothing. The prompt is
// the edit's text on screen (with the caret after it), but it is never returned as the edit's
// content: read the content with Text(), not QLineEdit::text(). The first key press or mouse
// press removes the prompt for good; so does a text set by the program that is not the prompt.
#pragma once

#include <QColor>
#include <QLineEdit>

class CPromptEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CPromptEdit(QWidget* parent = nullptr);

  // An empty prompt means no prompt: the edit behaves as a plain edit from then on. While the
  // prompt shows, a new one replaces it on screen.
  void SetPromptText(const QString& prompt);
  void SetPromptColour(const QColor& colour);
  QString PromptText() const { return prompt_; }
  QColor PromptColour() const { return promptColour_; }
  bool ShowingPrompt() const { return showingPrompt_; }
  // The content: empty while the prompt shows.
  QString Text() const;
  // A null text is ignored; an empty text is ignored while the prompt shows (it stays); any
  // other text than the prompt switches the prompt off and is shown.
  void SetText(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Switches the prompt off and empties the edit, before the key or click that caused it.
  void DropPrompt();
  void ApplyColours();
  void ShowPromptText();

  bool showingPrompt_ = true;
  QString prompt_;
  QColor promptColour_;
};
