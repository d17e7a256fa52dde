#include "widgets/app_message_box.h"

namespace {

// The program's look: a vertical bump from light to warm orange and back.
constexpr int kBackgroundEffect = 12;  // vbump
constexpr std::uint32_t kEdgeColour = 0xB3DFFD;
constexpr std::uint32_t kMiddleColour = 0x84CBFB;

}  // namespace

HtmlMessageBoxParams AppMessageBoxParams(QWidget* owner, const QString& text,
                                         const QString& caption, unsigned style) {
  HtmlMessageBoxParams params;
  InitMessageBoxParams(params);
  params.owner = owner;
  params.messageText = text;
  params.caption = caption;
  params.style = style;
  params.messageArea.separatorStyle = 0;
  params.messageArea.separatorAlign = 0;
  params.messageArea.effect = kBackgroundEffect;
  params.messageArea.start = kEdgeColour;
  params.messageArea.middle = kMiddleColour;
  params.messageArea.end = kEdgeColour;
  return params;
}

int AppMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style) {
  return HtmlMessageBox(AppMessageBoxParams(owner, text, caption, style));
}

void SetAppMessageBoxHook(AppMessageBoxHook hook) {
  SetMessageBoxHook(std::move(hook));
}

// The markup replaces entities before it reads tags, "&amp;" first: "&amp;lt;" would come out as
// a less-than sign. An empty span after an ampersand that precedes letters keeps the letters
// from forming an entity; it draws nothing.
QString EscapeMessageText(const QString& text) {
  QString out;
  out.reserve(text.size() + 16);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == u'&') {
      out += QStringLiteral("&amp;");
      if (i + 1 < text.size() && text[i + 1].isLetter()) out += QStringLiteral("<span></span>");
    } else if (c == u'<') {
      out += QStringLiteral("&lt;");
    } else if (c == u'>') {
      out += QStringLiteral("&gt;");
    } else {
      out += c;
    }
  }
  return out;
}
