// Test main for programs that need a Qt application: runs on the offscreen platform unless a
// platform is named, so tests never need a display, and keeps Qt's own user settings (the file
// dialog's last folder and history) in a temporary folder, away from the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdlib>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  QApplication app(argc, argv);
  const QTemporaryDir settings;
  if (!settings.isValid()) {
    return 1;
  }
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  return RUN_ALL_TESTS();
}
