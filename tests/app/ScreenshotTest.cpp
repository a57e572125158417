// Pictures of each edition's main window, written to the build tree's screenshots directory:
// main-window-<edition>.png as first shown, main-window-<edition>-last-row.png with the table
// scrolled to its last slot, main-window-<edition>-work-file.png with a work file's path shown.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QWidget>

#include "WindowFixture.h"

namespace {

// The client area only: the offscreen platform draws no frame or title bar.
void Save(QWidget* Window, const std::string& Name) {
  QCoreApplication::processEvents();
  const QImage image = Window->grab().toImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.width(), Window->width());
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 3) {
    for (int x = 0; x < image.width(); x += 3) {
      colours.insert(image.pixel(x, y));
    }
  }
  EXPECT_GT(colours.size(), 4) << "the picture is blank";
  ASSERT_TRUE(QDir().mkpath(TAVKEL_SCREENSHOT_DIR));
  const QString path = QString(TAVKEL_SCREENSHOT_DIR) + "/" + QString::fromStdString(Name);
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}

class Screenshot : public app_test::EditionWindows {};

TEST_P(Screenshot, OfTheMainWindow) {
  QWidget* window = Form().Widget();
  ASSERT_TRUE(app_test::PumpUntil([&] { return window->isVisible(); }));
  const std::string name = std::string("main-window-") + Edition().Name;
  Save(window, name + ".png");
  Form().StringGrid1->SetRow(LastSlot());
  Save(window, name + "-last-row.png");
  Form().Label3->SetCaption("/home/user/relay-controller/projects/plan.mdb");
  Save(window, name + "-work-file.png");
}

INSTANTIATE_TEST_SUITE_P(Editions, Screenshot, testing::Values(&app::Tavkel14, &app::Tavkel13),
                         app_test::EditionName);

}  // namespace
