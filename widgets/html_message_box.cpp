#include "widgets/html_message_box.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPalette>
#include <QPointer>
#include <QSettings>
#include <QThread>
#include <mutex>

#include "widgets/draw_manager.h"
#include "widgets/html_message_box_template.h"
#include "widgets/string_resources.h"

namespace {

struct Hooks {
  std::mutex lock;
  MessageBoxHook answer;
  std::function<void(QWidget*)> painted;
};

Hooks& TheHooks() {
  static Hooks hooks;
  return hooks;
}

struct BuiltIn {
  int id;
  int resourceId;
  const char* caption;
};

constexpr BuiltIn kBuiltIns[] = {
    {1, 9001, "OK"},
    {2, 9002, "Cancel"},
    {3, 9005, "Abort"},
    {4, 9004, "Retry"},
    {5, 9003, "Ignore"},
    {6, 9007, "Yes"},
    {7, 9008, "No"},
    {9, 9006, "Help"},
    {10, 9015, "Try again"},
    {11, 9009, "Continue"},
    {14, 9018, "Skip"},
    {15, 9019, "Skip all"},
    {16, 9017, "Ignore all"},
    {19, 9013, "Yes to all"},
    {20, 9014, "No to all"},
    {21, 9016, "Report"},
    {30, 9011, "<< More"},
    {31, 9010, "More >>"},
    {0x01000000, 9012, "Do not show again"},
    {static_cast<int>(0x80000000u), 9020, "%s (%d seconds remaining)"},
};

QString ProgramFileName() {
  return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

// The answer remembered for this box, or 0.
int RememberedAnswer(const HtmlMessageBoxParams& params) {
  if ((params.style & MBX_CHECKBOX) == 0 || params.registryPrefix.isEmpty()) return 0;
  QSettings settings(QStringLiteral("BrenvikDotmRepair"), QStringLiteral("HtmlMessageBox"));
  const QString base = ProgramFileName() + QStringLiteral("/HtmlMessageBox");
  settings.beginGroup(params.registryCompany.isEmpty() ? base
                                                       : params.registryCompany + u'/' + base);
  bool ok = false;
  const int value =
      settings.value(params.registryPrefix + QString::number(params.messageId)).toInt(&ok);
  return ok ? value : 0;
}

QWidget* ActiveOwner() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  return QApplication::activeWindow();
}

int ShowOnGuiThread(HtmlMessageBoxParams params) {
  if (params.owner == nullptr) params.owner = ActiveOwner();
  if (ResolveText(params.caption, params.style).isEmpty()) {
    const QString ownerText =
        params.owner != nullptr ? params.owner->windowTitle().left(260) : QString();
    params.caption = ownerText.isEmpty() ? QStringLiteral("Error") : ownerText;
  }
  const int remembered = RememberedAnswer(params);
  if (remembered != 0) return remembered;
  {
    MessageBoxHook hook;
    {
      std::lock_guard<std::mutex> guard(TheHooks().lock);
      hook = TheHooks().answer;
    }
    if (hook) {
      return hook(ResolveText(params.messageText, params.style),
                  ResolveText(params.caption, params.style), params.style);
    }
  }
  if ((params.style & MBX_NO_SOUND) == 0) QApplication::beep();
  CHtmlMessageBoxTemplate box(params, params.owner);
  box.exec();
  return box.Result();
}

}  // namespace

void InitMessageBoxParams(HtmlMessageBoxParams& params) {
  params = HtmlMessageBoxParams();
  const std::uint32_t face =
      QCoreApplication::instance() != nullptr
          ? CDrawManager::FromQColor(QGuiApplication::palette().color(QPalette::Button))
          : 0xF0F0F0;
  for (MessageBoxArea* area :
       {&params.messageArea, &params.headerArea, &params.buttonArea, &params.moreArea}) {
    area->effect = -1;
    area->start = area->middle = area->end = face;
  }
  params.buttonAlign = 2;
  params.style = 0x30;
}

QString ResolveText(const TextOrId& value, unsigned style) {
  if (!value.text.isEmpty()) return value.text;
  if (value.id == 0 || (style & MBX_NO_RESOURCE_STRINGS) != 0) return {};
  return LoadStringResource(static_cast<unsigned>(value.id));
}

QString BuiltInButtonCaption(int id) {
  for (const BuiltIn& entry : kBuiltIns) {
    if (entry.id != id) continue;
    const QString resource = LoadStringResource(static_cast<unsigned>(entry.resourceId));
    return resource.isEmpty() ? QString::fromLatin1(entry.caption) : resource;
  }
  return {};
}

int HtmlMessageBox(const HtmlMessageBoxParams& params) {
  QCoreApplication* app = QCoreApplication::instance();
  // Without a window system nobody can answer: a question is declined, a notice counts as read.
  if (qobject_cast<QApplication*>(app) == nullptr) return UnaskedAnswer(params.style);
  if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(params);
  // Widgets live on the GUI thread only: a worker waits there for the answer.
  int answer = UnaskedAnswer(params.style);
  QPointer<QWidget> owner(params.owner);
  QMetaObject::invokeMethod(
      app,
      [&] {
        HtmlMessageBoxParams copy = params;
        copy.owner = owner.data();
        answer = ShowOnGuiThread(copy);
      },
      Qt::BlockingQueuedConnection);
  return answer;
}

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard<std::mutex> guard(TheHooks().lock);
  TheHooks().answer = std::move(hook);
}

void SetMessageBoxPaintedObserver(std::function<void(QWidget*)> observer) {
  std::lock_guard<std::mutex> guard(TheHooks().lock);
  TheHooks().painted = std::move(observer);
}

void NotifyMessageBoxPainted(QWidget* box) {
  std::function<void(QWidget*)> observer;
  {
    std::lock_guard<std::mutex> guard(TheHooks().lock);
    observer = TheHooks().painted;
  }
  if (observer) observer(box);
}
