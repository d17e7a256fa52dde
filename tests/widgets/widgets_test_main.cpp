// Runs the widget tests inside one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "testkit/temp_folder.h"

int main(int argc, char** argv) {
  // Settings, temporary files and Qt's runtime folder of this program's own; offscreen.
  const testkit::IsolatedEnvironment environment("widgets-test-");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
