// Placeholder until the message box lands.
#include "widgets/app_message_box.h"
namespace {
AppMessageBoxHook& Hook() {
  static AppMessageBoxHook hook;
  return hook;
}
}  // namespace
int AppMessageBox(QWidget*, const QString& text, const QString& caption, unsigned style) {
  if (Hook()) return Hook()(text, caption, style);
  return kIdOk;
}
void SetAppMessageBoxHook(AppMessageBoxHook hook) { Hook() = std::move(hook); }
QString MessageMarkupToRichText(const QString& text) { return text; }
