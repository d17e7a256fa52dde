#include "tests/gui/gui_test_support.h"

#include <filesystem>

#include "testkit/package_builder.h"
#include "widgets/app_message_box.h"
#include "widgets/file_dialogs.h"

namespace guitest {

MessageRecorder::MessageRecorder() {
  SetAppMessageBoxHook([this](const QString& text, const QString& caption, unsigned style) {
    messages.push_back({text, caption, style});
    if (!answers_.empty()) {
      const int answer = answers_.front();
      answers_.pop_front();
      return answer;
    }
    return IsQuestion(style) ? kIdYes : kIdOk;
  });
}

MessageRecorder::~MessageRecorder() {
  SetAppMessageBoxHook(nullptr);
}

QStringList MessageRecorder::Texts() const {
  QStringList texts;
  for (const RecordedMessage& message : messages)
    texts << message.text;
  return texts;
}

DialogAnswers::DialogAnswers() {
  SetOpenPackagesHook([this] {
    ++openCalls;
    return openPaths;
  });
  SetFolderHook([this](const QString& title, const QString& startFolder) {
    folderTitles << title;
    folderStarts << startFolder;
    return folder;
  });
}

DialogAnswers::~DialogAnswers() {
  SetOpenPackagesHook(nullptr);
  SetFolderHook(nullptr);
}

QStringList WriteSamplePackages(const QString& folder, const QStringList& names) {
  QStringList paths;
  const testsupport::Bytes package = testsupport::SampleTemplatePackage();
  for (const QString& name : names) {
    const QString path = folder + QLatin1Char('/') + name;
    testsupport::WriteFileBytes(std::filesystem::path(path.toStdString()), package);
    paths << path;
  }
  return paths;
}

}  // namespace guitest
