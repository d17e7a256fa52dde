// The status bar's CAP, NUM and SCRL panes, following the lock keys. Qt has no call that reads
// the lock keys' state, but every key event carries the platform's modifier state: the panes
// take it from each key event the program sees (on X11 the modifier mask, where Scroll Lock
// has no bit: SCRL follows the Scroll Lock presses the program sees; on Windows the key
// mapper's lock flags). Until the first key event the panes are blank.
#pragma once

#include <QObject>
#include <array>

class QKeyEvent;
class QLabel;

class CLockIndicators : public QObject {
  Q_OBJECT

 public:
  struct LockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
  };

  // Watches every key event of the application and shows the states in the three panes, which
  // it does not own.
  CLockIndicators(QLabel* caps, QLabel* num, QLabel* scroll, QObject* parent);

  LockStates States() const { return states_; }
  // The lock states a key event reports; false when it reports none (a lock key's own press,
  // whose state is the one before the toggle).
  static bool StatesFrom(const QKeyEvent& event, bool windowsFlags, LockStates& states);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show();

  struct Seen {
    const QKeyEvent* event = nullptr;
    quint64 timestamp = 0;
    int type = 0;
    int key = 0;
    quint32 native = 0;
    bool operator==(const Seen&) const = default;
  };

  std::array<QLabel*, 3> panes_;
  Seen lastSeen_;
  LockStates states_;
  bool windowsFlags_;
};
