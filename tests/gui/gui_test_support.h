// Helpers shared by the desktop program's tests (their isolated environment comes from testkit):
// pre-answered message boxes, sample packages on disk, and finding controls by their ids.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTest>
#include <deque>
#include <string_view>
#include <vector>

#include "testkit/temp_folder.h"

namespace guitest {

struct RecordedMessage {
  QString text;
  QString caption;
  unsigned style;
};

// Answers every message box while it lives: queued answers first, then OK (or Yes for a
// question).
class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  void QueueAnswer(int answer) { answers_.push_back(answer); }
  QStringList Texts() const;
  std::vector<RecordedMessage> messages;

 private:
  std::deque<int> answers_;
};

// Pre-answers the open dialog and the folder browser while it lives.
class DialogAnswers {
 public:
  DialogAnswers();
  ~DialogAnswers();
  DialogAnswers(const DialogAnswers&) = delete;
  DialogAnswers& operator=(const DialogAnswers&) = delete;

  QStringList openPaths;  // what the open dialog returns (empty: cancelled)
  QString folder;         // what the folder browser returns
  int openCalls = 0;
  QStringList folderTitles;
  QStringList folderStarts;  // the folder each browser was to open at
};

// A text constant as the widgets show it: UTF-8, CR LF as a plain line break.
inline QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size())).replace("\r\n", "\n");
}

// Writes the sample template package under each name in folder; returns the paths.
QStringList WriteSamplePackages(const QString& folder, const QStringList& names);

template <class T>
T* Find(QObject* root, const char* objectName) {
  T* found = root->findChild<T*>(QLatin1String(objectName));
  if (!found) qFatal("control %s not found", objectName);
  return found;
}

}  // namespace guitest

// The main of a test program: the environment first (a folder of its own for the temporary
// files, the settings and Qt's runtime folder, the offscreen platform), then the application.
#define BRENVIK_GUI_TEST_MAIN(TestClass)                   \
  int main(int argc, char* argv[]) {                       \
    testkit::IsolatedEnvironment environment("gui-test-"); \
    QApplication application(argc, argv);                  \
    TestClass test;                                        \
    return QTest::qExec(&test, argc, argv);                \
  }
