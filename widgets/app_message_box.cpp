#include "widgets/app_message_box.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <array>
#include <utility>

#include "widgets/message_box_dialog.h"

namespace {

AppMessageBoxHook& Hook() {
  static AppMessageBoxHook hook;
  return hook;
}

// The entities of message markup, replaced in this order. "&lt;" becomes the doubled "<<",
// which the tag scanner reads as one literal less-than sign.
constexpr std::array<std::pair<const char16_t*, const char16_t*>, 13> kEntities = {{
    {u"&amp;", u"&"},
    {u"&bull;", u"\u2022"},
    {u"&copy;", u"\u00A9"},
    {u"&euro;", u"\u20AC"},
    {u"&gt;", u">"},
    {u"&iquest;", u"\u00BF"},
    {u"&lt;", u"<<"},
    {u"&nbsp;", u" "},
    {u"&para;", u"\u00B6"},
    {u"&pound;", u"\u00A3"},
    {u"&quot;", u"\""},
    {u"&reg;", u"\u00AE"},
    {u"&trade;", u"\u2122"},
}};

struct Tag {
  QString name;  // lower case, without the slash
  bool closing = false;
  QString body;  // everything after the name
};

Tag ParseTag(const QString& inside) {
  Tag tag;
  QString rest = inside.trimmed();
  if (rest.startsWith(u'/')) {
    tag.closing = true;
    rest = rest.mid(1).trimmed();
  }
  qsizetype end = 0;
  while (end < rest.size() && rest[end].isLetter())
    ++end;
  tag.name = rest.left(end).toLower();
  tag.body = rest.mid(end);
  return tag;
}

// The value of attribute name in a tag body: quoted with ' or ", or up to the next blank.
QString AttributeValue(const QString& body, const QString& name) {
  qsizetype at = 0;
  while ((at = body.indexOf(name, at, Qt::CaseInsensitive)) >= 0) {
    const bool startsWord = at == 0 || body[at - 1].isSpace();
    qsizetype pos = at + name.size();
    while (pos < body.size() && body[pos].isSpace())
      ++pos;
    if (!startsWord || pos >= body.size() || body[pos] != u'=') {
      at += name.size();
      continue;
    }
    ++pos;
    while (pos < body.size() && body[pos].isSpace())
      ++pos;
    if (pos < body.size() && (body[pos] == u'\'' || body[pos] == u'"')) {
      const QChar quote = body[pos];
      const qsizetype close = body.indexOf(quote, pos + 1);
      return body.mid(pos + 1, close < 0 ? -1 : close - pos - 1);
    }
    qsizetype stop = pos;
    while (stop < body.size() && !body[stop].isSpace())
      ++stop;
    return body.mid(pos, stop - pos);
  }
  return {};
}

QString RichTextOfTag(const Tag& tag) {
  static const QStringList kPaired = {QStringLiteral("b"), QStringLiteral("i"), QStringLiteral("u"),
                                      QStringLiteral("center")};
  if (tag.name == u"br") {
    if (tag.closing) return {};
    const int count = tag.body.trimmed().toInt();
    return QStringLiteral("<br>").repeated(count > 0 ? qMin(count, 20) : 1);
  }
  if (kPaired.contains(tag.name)) {
    return (tag.closing ? QStringLiteral("</") : QStringLiteral("<")) + tag.name + u'>';
  }
  if (tag.name == u"a") {
    if (tag.closing) return QStringLiteral("</a>");
    const QString href = AttributeValue(tag.body, QStringLiteral("href"));
    if (href.isEmpty()) return QStringLiteral("<a>");
    return QStringLiteral("<a href=\"") + href.toHtmlEscaped() + QStringLiteral("\">");
  }
  return {};  // unknown tags are skipped
}

QString ReplaceEntities(QString text) {
  for (const auto& [entity, replacement] : kEntities) {
    text.replace(QString::fromUtf16(entity), QString::fromUtf16(replacement));
  }
  return text;
}

int ShowOnGuiThread(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
  QWidget* parent = owner != nullptr ? owner : QApplication::activeWindow();
  CMessageBoxDialog box(parent, MessageMarkupToRichText(text), caption, style);
  box.exec();
  return box.Answer();
}

}  // namespace

QString MessageMarkupToRichText(const QString& text) {
  const QString source = ReplaceEntities(text);
  QString out;
  for (qsizetype i = 0; i < source.size(); ++i) {
    const QChar c = source[i];
    if (c == u'\r' && i + 1 < source.size() && source[i + 1] == u'\n') continue;
    if (c == u'\n' || c == u'\r') {
      out += QStringLiteral("<br>");
    } else if (c == u'<' && i + 1 < source.size() && source[i + 1] == u'<') {
      out += QStringLiteral("&lt;");
      ++i;
    } else if (c == u'<') {
      const qsizetype close = source.indexOf(u'>', i + 1);
      if (close < 0) {  // an unterminated tag is plain text
        out += QStringLiteral("&lt;");
        continue;
      }
      out += RichTextOfTag(ParseTag(source.mid(i + 1, close - i - 1)));
      i = close;
    } else if (c == u'&') {
      out += QStringLiteral("&amp;");
    } else if (c == u'>') {
      out += QStringLiteral("&gt;");
    } else if (c == u'"') {
      out += QStringLiteral("&quot;");
    } else {
      out += c;
    }
  }
  return QStringLiteral("<html><body style=\"white-space: pre-wrap;\">") + out +
         QStringLiteral("</body></html>");
}

int AppMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
  if (Hook()) return Hook()(text, caption, style);
  const bool yesNo = (style & 0x0F) == kMbYesNo;
  QCoreApplication* app = QCoreApplication::instance();
  // Without a GUI nobody can answer: a question is declined, a notice counts as read.
  if (qobject_cast<QApplication*>(app) == nullptr) return yesNo ? kIdNo : kIdOk;
  if (QThread::currentThread() == app->thread()) {
    return ShowOnGuiThread(owner, text, caption, style);
  }
  // Widgets live on the GUI thread only: a worker waits there for the answer.
  int answer = yesNo ? kIdNo : kIdCancel;
  QPointer<QWidget> guardedOwner(owner);
  QMetaObject::invokeMethod(
      app, [&] { answer = ShowOnGuiThread(guardedOwner.data(), text, caption, style); },
      Qt::BlockingQueuedConnection);
  return answer;
}

void SetAppMessageBoxHook(AppMessageBoxHook hook) {
  Hook() = std::move(hook);
}
