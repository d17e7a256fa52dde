#include "workspace/log_panel.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

namespace {

QTextCharFormat LogFormat(const QColor& colour) {
  QTextCharFormat format;
  format.setFontWeight(QFont::Bold);
  format.setForeground(colour);
  return format;
}

// The log's texts end their lines Windows-style; one line break each in the panel.
QString WithPlainLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

CLogPanel::CLogPanel(QWidget* parent) : QTextEdit(parent) {
  setReadOnly(true);
  setAcceptRichText(false);
  // Dropped files are meant for the workspace, which lists them.
  setAcceptDrops(false);
  setLineWrapMode(QTextEdit::NoWrap);
  setUndoRedoEnabled(false);
  // The log stays black on white whatever the visual style's palette.
  QPalette colours = palette();
  colours.setColor(QPalette::Base, Qt::white);
  colours.setColor(QPalette::Text, Qt::black);
  setPalette(colours);
  QFont bold = font();
  bold.setBold(true);
  setFont(bold);
}

QColor CLogPanel::ColourFromColorRef(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

void CLogPanel::AppendLog(const QString& text, std::uint32_t colour) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(WithPlainLineBreaks(text), LogFormat(ColourFromColorRef(colour)));
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

void CLogPanel::AppendLines(std::span<const Line> lines) {
  if (lines.empty()) return;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.beginEditBlock();
  for (const Line& line : lines)
    cursor.insertText(WithPlainLineBreaks(line.text), LogFormat(ColourFromColorRef(line.colour)));
  cursor.endEditBlock();
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->maximum());
}

void CLogPanel::SetLogText(const QString& text) {
  clear();
  if (!text.isEmpty()) AppendLog(text, 0x000000);
}

QString CLogPanel::LeadingText(int maxChars) const {
  QTextCursor cursor(document());
  const int end = std::min(maxChars, document()->characterCount() - 1);
  cursor.setPosition(std::max(0, end), QTextCursor::KeepAnchor);
  QString text = cursor.selectedText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
  return text;
}
