// A single-line edit that shows a grey prompt while the user has typed nothing. The prompt is
// never returned as the edit's content.
#pragma once

#include <QColor>
#include <QLineEdit>

class CPromptEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CPromptEdit(QWidget* parent = nullptr);

  void SetPromptText(const QString& prompt);
  void SetPromptColour(const QColor& colour);
  QString PromptText() const;
  bool ShowingPrompt() const;  // the edit is empty and the prompt is on screen
  // The content: empty while the prompt shows.
  QString Text() const;
  void SetText(const QString& text);
};
