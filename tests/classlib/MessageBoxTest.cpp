// The real Qt message boxes behind the application's box and error box: how they can be answered
// and how they show their texts.
#include <gtest/gtest.h>

#include <QLabel>

#include "WindowTestSupport.h"
#include "classlib/Application.h"

namespace {

using namespace classlib;
using classlib_test::ModalDriver;
using classlib_test::WindowTest;

class RealBoxes : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Application->SetDialogs(nullptr);
  }
};

TEST_F(RealBoxes, AYesNoBoxIsAnsweredByItsButtonsAlone) {
  struct Case {
    QMessageBox::StandardButton button;
    int answer;
  };
  for (const Case& c : {Case{QMessageBox::Yes, IDYES}, Case{QMessageBox::No, IDNO}}) {
    SCOPED_TRACE(c.answer);
    std::vector<QDialog*> seen;
    auto record = [&](void (*step)(QDialog&)) {
      return [&seen, step](QDialog& box) {
        seen.push_back(&box);
        step(box);
      };
    };
    ModalDriver driver({record([](QDialog& box) { classlib_test::PressKey(box, Qt::Key_Escape); }),
                        record(classlib_test::CloseBox),
                        record(classlib_test::CloseFromWindowSystem), record([](QDialog&) {}),
                        [&](QDialog& box) { classlib_test::ClickButton(box, c.button); }});
    EXPECT_EQ(Application->MessageBox("save data", "Message", MB_YESNO | MB_ICONQUESTION),
              c.answer);
    EXPECT_TRUE(driver.Finished()) << "the question was answered before its button";
    ASSERT_EQ(seen.size(), 4u);
    for (QDialog* box : seen) {
      EXPECT_EQ(box, seen[0]) << "another box came up";
    }
  }
}

// Boxes that only tell something still end with Escape or their close box.
TEST_F(RealBoxes, AnOkBoxEndsWithEscapeOrItsCloseBox) {
  const ModalDriver::Step ends[] = {
      [](QDialog& box) { classlib_test::PressKey(box, Qt::Key_Escape); },
      classlib_test::CloseFromWindowSystem, classlib_test::CloseBox};
  for (const ModalDriver::Step& end : ends) {
    ModalDriver driver({end});
    EXPECT_EQ(Application->MessageBox("Saved successfully", "message", MB_OK), IDOK);
    EXPECT_TRUE(driver.Finished());
  }
}

// Texts quote values from files and from the device; markup in them is shown as it stands.
TEST_F(RealBoxes, BoxesAndTheErrorBoxShowTheirTextAsPlainText) {
  struct Case {
    const char* text;
    UINT flags;
    bool error;  // raised, so the error box shows it with a final "."
  };
  const Case cases[] = {
      {"<b>x</b>", MB_OK, false},
      {"<img src=\"file:///nonexistent/picture.png\">", MB_OK, false},
      {"<b>x</b>", MB_YESNO | MB_ICONQUESTION, false},
      {"<b>x</b>", MB_OK | MB_ICONERROR, true},
      {"Value <i>7</i> &amp; more", MB_OK | MB_ICONERROR, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const QString shown = QString::fromLatin1(c.text) + (c.error ? "." : "");
    Qt::TextFormat boxFormat = Qt::AutoText;
    QString boxText;
    std::vector<Qt::TextFormat> labelFormats;
    ModalDriver driver({[&](QDialog& dialog) {
      auto* box = qobject_cast<QMessageBox*>(&dialog);
      ASSERT_NE(box, nullptr);
      boxFormat = box->textFormat();
      boxText = box->text();
      for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text() == shown) {
          labelFormats.push_back(label->textFormat());
        }
      }
      box->done(0);
    }});
    if (c.error) {
      Protect([&] { throw Exception(c.text); });
    } else {
      Application->MessageBox(c.text, "message", c.flags);
    }
    EXPECT_TRUE(driver.Finished());
    EXPECT_EQ(boxFormat, Qt::PlainText);
    EXPECT_EQ(boxText, shown);
    EXPECT_EQ(labelFormats, std::vector<Qt::TextFormat>{Qt::PlainText})
        << "no label shows the text as it stands";
  }
}

}  // namespace
