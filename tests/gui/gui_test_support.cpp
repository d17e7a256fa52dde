#include "tests/gui/gui_test_support.h"

#include <cstdlib>
#include <string>

#include "tests/support/package_builder.h"
#include "widgets/app_message_box.h"
#include "widgets/file_dialogs.h"

namespace guitest {

IsolatedEnvironment::IsolatedEnvironment() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/brenvik-gui-test-XXXXXX";
  if (!mkdtemp(pattern.data())) qFatal("cannot create a temporary folder");
  root_ = pattern;
  for (const char* sub : {"tmp", "config", "runtime"}) {
    std::filesystem::create_directories(root_ / sub);
  }
  std::filesystem::permissions(root_ / "runtime", std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace);
  setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

IsolatedEnvironment::~IsolatedEnvironment() {
  std::error_code error;
  std::filesystem::remove_all(root_, error);
}

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
