#include "app/main_frame_indicators.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {

// X11: the core modifier mask (Lock is Caps Lock, Mod2 is Num Lock on every usual keymap).
constexpr quint32 kX11Lock = 0x02;
constexpr quint32 kX11Mod2 = 0x10;
// Windows: the lock flags Qt's key mapper puts into the native modifiers.
constexpr quint32 kWinCapsLock = 0x100;
constexpr quint32 kWinNumLock = 0x200;
constexpr quint32 kWinScrollLock = 0x400;

const char* const kTexts[] = {"CAP", "NUM", "SCRL"};

}  // namespace

CLockIndicators::CLockIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent)
    : QObject(parent),
      panes_{caps, num, scroll},
      windowsFlags_(QGuiApplication::platformName() == QLatin1String("windows")) {
  QCoreApplication::instance()->installEventFilter(this);
  Show();
}

bool CLockIndicators::StatesFrom(const QKeyEvent& event, bool windowsFlags, LockStates& states) {
  const bool lockKey = event.key() == Qt::Key_CapsLock || event.key() == Qt::Key_NumLock ||
                       event.key() == Qt::Key_ScrollLock;
  if (lockKey && event.type() == QEvent::KeyPress) return false;
  const quint32 native = event.nativeModifiers();
  if (windowsFlags) {
    states = {(native & kWinCapsLock) != 0, (native & kWinNumLock) != 0,
              (native & kWinScrollLock) != 0};
    return true;
  }
  states.caps = (native & kX11Lock) != 0;
  states.num = (native & kX11Mod2) != 0;
  if (event.key() == Qt::Key_ScrollLock && event.type() == QEvent::KeyRelease &&
      !event.isAutoRepeat()) {
    states.scroll = !states.scroll;
  }
  return true;
}

bool CLockIndicators::eventFilter(QObject* watched, QEvent* event) {
  if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
      watched->isWidgetType()) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    // A key event is offered once for each widget it passes on to: act on it once.
    const Seen seen{key, key->timestamp(), key->type(), key->key(), key->nativeModifiers()};
    if (seen != lastSeen_) {
      lastSeen_ = seen;
      LockStates states = states_;
      if (StatesFrom(*key, windowsFlags_, states)) {
        states_ = states;
        Show();
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

void CLockIndicators::Show() {
  const bool on[] = {states_.caps, states_.num, states_.scroll};
  for (std::size_t i = 0; i < panes_.size(); ++i) {
    // As the status bar shows lock keys: the name while the lock is on, blank while it is off.
    if (panes_[i]) panes_[i]->setText(on[i] ? QString::fromLatin1(kTexts[i]) : QString());
  }
}
