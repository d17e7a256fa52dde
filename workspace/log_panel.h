// The log panel: a read-only rich text in bold whose lines carry their own colours.
#pragma once

#include <QTextEdit>
#include <cstdint>
#include <span>

class CLogPanel : public QTextEdit {
  Q_OBJECT

 public:
  explicit CLogPanel(QWidget* parent = nullptr);

  // Appends text at the end in colour (0x00BBGGRR) and scrolls to the end. "\r\n" and "\n"
  // become line breaks. Cost grows with the appended text only, never with the whole log.
  void AppendLog(const QString& text, std::uint32_t colour);
  // Appends lines in order, each in its colour, in one edit with one scroll at the end.
  struct Line {
    QString text;
    std::uint32_t colour;
  };
  void AppendLines(std::span<const Line> lines);
  // Replaces the whole text (black).
  void SetLogText(const QString& text);
  // The first characters of the log, for the status bar's mouse-over text.
  QString LeadingText(int maxChars) const;

  static QColor ColourFromColorRef(std::uint32_t colour);
};
