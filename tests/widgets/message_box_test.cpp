#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "widgets/app_message_box.h"
#include "widgets/html_message_box_template.h"

namespace {

const QString kCaption = QStringLiteral("Brenvik Viva Zadado");

HtmlMessageBoxParams Params(unsigned style, const QString& text = QStringLiteral("Text")) {
  HtmlMessageBoxParams params;
  InitMessageBoxParams(params);
  params.caption = kCaption;
  params.messageText = text;
  params.style = style | MBX_NO_SOUND;
  return params;
}

std::vector<int> IdsOf(const CHtmlMessageBoxTemplate& box) {
  std::vector<int> ids;
  for (const auto& [id, button] : box.Buttons())
    ids.push_back(id);
  return ids;
}

TEST(HtmlMessageBox, ButtonSetsGiveTheirIdsInOrder) {
  struct Case {
    const char* label;
    unsigned style;
    std::vector<int> ids;
    bool escape;
  };
  const Case cases[] = {
      {"ok", kMbOk, {kIdOk}, true},
      {"ok cancel", kMbOkCancel, {kIdOk, kIdCancel}, true},
      {"abort retry ignore", kMbAbortRetryIgnore, {kIdAbort, kIdRetry, kIdIgnore}, false},
      {"yes no cancel", kMbYesNoCancel, {kIdYes, kIdNo, kIdCancel}, true},
      {"yes no", kMbYesNo, {kIdYes, kIdNo}, false},
      {"yes no with both to-alls",
       kMbYesNo | MBX_YES_TO_ALL | MBX_NO_TO_ALL,
       {kIdYes, kIdYesToAll, kIdNo, kIdNoToAll},
       false},
      {"retry cancel", kMbRetryCancel, {kIdRetry, kIdCancel}, true},
      {"cancel try continue", kMbCancelTryContinue, {kIdCancel, kIdTryAgain, kIdContinue}, true},
      {"continue abort", kMbContinueAbort, {kIdContinue, kIdAbort}, false},
      {"skip", kMbSkipSkipAllCancel, {kIdSkip, kIdSkipAll, kIdCancel}, true},
      {"ignore all", kMbIgnoreIgnoreAllCancel, {kIdIgnore, kIdIgnoreAll, kIdCancel}, true},
      {"set 10 alone has no buttons", 10, {}, false},
      {"set 12 with help", 12 | kMbHelp, {kIdHelp}, false},
      {"ok with help", kMbOk | kMbHelp, {kIdOk, kIdHelp}, true},
  };
  for (const Case& c : cases) {
    CHtmlMessageBoxTemplate box(Params(c.style), nullptr);
    EXPECT_EQ(IdsOf(box), c.ids) << c.label;
    EXPECT_EQ(box.EscapeAllowed(), c.escape) << c.label;
    EXPECT_EQ(box.CloseAllowed(), c.escape) << c.label;
  }
}

TEST(HtmlMessageBox, CaptionsOfButtons) {
  CHtmlMessageBoxTemplate box(Params(kMbCancelTryContinue | kMbHelp), nullptr);
  EXPECT_EQ(box.Button(kIdCancel)->text(), QStringLiteral("Cancel"));
  EXPECT_EQ(box.Button(kIdTryAgain)->text(), QStringLiteral("Try again"));
  EXPECT_EQ(box.Button(kIdContinue)->text(), QStringLiteral("Continue"));
  EXPECT_EQ(box.Button(kIdHelp)->text(), QStringLiteral("Help"));

  const std::map<int, TextOrId> texts{{kIdYes, TextOrId("Repair")}, {kIdNo, TextOrId("Leave")}};
  HtmlMessageBoxParams params = Params(kMbYesNo);
  params.customTexts = &texts;
  CHtmlMessageBoxTemplate custom(params, nullptr);
  EXPECT_EQ(custom.Button(kIdYes)->text(), QStringLiteral("Repair"));
  EXPECT_EQ(custom.Button(kIdNo)->text(), QStringLiteral("Leave"));
}

TEST(HtmlMessageBox, CustomButtons) {
  struct Case {
    const char* label;
    const char* lines;
    std::vector<int> ids;
    QStringList captions;
  };
  const Case cases[] = {
      {"empty line between two", "First\n\nSecond", {23, 24}, {"First", "Second"}},
      {"carriage returns removed", "A\r\nB", {23, 24}, {"A", "B"}},
      {"five lines give four", "1\n2\n3\n4\n5", {23, 24, 25, 26}, {"1", "2", "3", "4"}},
  };
  for (const Case& c : cases) {
    HtmlMessageBoxParams params = Params(kMbYesNo);
    params.customButtons = c.lines;
    CHtmlMessageBoxTemplate box(params, nullptr);
    EXPECT_EQ(IdsOf(box), c.ids) << c.label;
    QStringList captions;
    for (const auto& [id, button] : box.Buttons())
      captions << button->text();
    EXPECT_EQ(captions, c.captions) << c.label;
    EXPECT_FALSE(box.EscapeAllowed()) << c.label;
  }
}

TEST(HtmlMessageBox, DefaultButtonPastTheLastIsTheFirst) {
  struct Case {
    unsigned style;
    int index;
    int id;
  };
  const Case cases[] = {{kMbYesNo | kMbDefButton2, 1, kIdNo},
                        {kMbYesNo | kMbDefButton3, 0, kIdYes},
                        {kMbOk | kMbDefButton4, 0, kIdOk}};
  for (const Case& c : cases) {
    CHtmlMessageBoxTemplate box(Params(c.style), nullptr);
    EXPECT_EQ(box.DefaultIndex(), c.index);
    EXPECT_TRUE(box.Button(c.id)->isDefault());
  }
}

TEST(HtmlMessageBox, NarrowCaptionsStillGiveMinimumButtons) {
  CHtmlMessageBoxTemplate box(Params(kMbOk, QStringLiteral("x")), nullptr);
  EXPECT_EQ(box.ButtonSize().width(), 80);
  EXPECT_GE(box.ButtonSize().height(), 23);
  const QRect ok = box.Button(kIdOk)->geometry();
  EXPECT_EQ(ok.width(), 70);
  EXPECT_EQ(ok.height(), box.ButtonSize().height() - 6);
  EXPECT_EQ(ok.top(), box.height() - 11 - box.ButtonSize().height());
  // The box is at least as wide as one button with its gaps.
  EXPECT_GE(box.width(), 11 + 11 + 80);
}

TEST(HtmlMessageBox, CheckBoxAboveOrBelowTheButtons) {
  const CHtmlMessageBoxTemplate plain(Params(kMbOk), nullptr);
  for (const bool below : {false, true}) {
    HtmlMessageBoxParams params = Params(kMbOk | MBX_CHECKBOX | MBX_CHECKBOX_CHECKED |
                                         (below ? MBX_CHECKBOX_BELOW_BUTTONS : 0));
    CHtmlMessageBoxTemplate box(params, nullptr);
    ASSERT_NE(box.CheckBox(), nullptr);
    EXPECT_TRUE(box.CheckBox()->isChecked());
    EXPECT_EQ(box.height(), plain.height() + 11 + 13);
    const auto* label = box.findChild<QLabel*>(QStringLiteral("HtmlMessageBoxCheckLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("Do not show again"));
    const int buttonTop = box.Button(kIdOk)->geometry().top();
    if (below) {
      EXPECT_GT(box.CheckBox()->geometry().top(), buttonTop);
    } else {
      EXPECT_LT(box.CheckBox()->geometry().bottom(), buttonTop);
    }
  }
}

TEST(HtmlMessageBox, HandOverLinksAndHoverRepaint) {
  CHtmlMessageBoxTemplate box(
      Params(kMbNotice, QStringLiteral("Saved in <a href='/tmp/out'>/tmp/out</a>")), nullptr);
  box.show();
  const QImage before = box.grab().toImage();
  ASSERT_EQ(box.MessageDrawer().LinkAreas().size(), 1u);
  const QRect link = box.MessageDrawer().LinkAreas()[0].rect;
  QMouseEvent move(QEvent::MouseMove, QPointF(link.center()),
                   QPointF(box.mapToGlobal(link.center())), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&box, &move);
  EXPECT_EQ(box.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(box.MessageDrawer().HoveredLink(), 1);
  const QImage hovered = box.grab().toImage();
  EXPECT_NE(before.copy(link), hovered.copy(link));  // underlined now
  QMouseEvent away(QEvent::MouseMove, QPointF(2, 2), QPointF(box.mapToGlobal(QPoint(2, 2))),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&box, &away);
  EXPECT_NE(box.cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(box.MessageDrawer().HoveredLink(), -2);
}

TEST(HtmlMessageBox, CountdownTexts) {
  {
    HtmlMessageBoxParams params = Params(kMbOkCancel);
    params.timeout = 3;
    CHtmlMessageBoxTemplate box(params, nullptr);
    EXPECT_EQ(box.Button(kIdOk)->text(), QStringLiteral("OK = 3"));
    box.Tick();
    EXPECT_EQ(box.Button(kIdOk)->text(), QStringLiteral("OK = 2"));
    box.Tick();
    box.Tick();  // the default button presses itself
    EXPECT_EQ(box.Button(kIdOk)->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.Result(), kIdOk);
  }
  {
    HtmlMessageBoxParams params = Params(kMbYesNo);
    params.disableTime = 2;
    params.disableAll = 1;
    CHtmlMessageBoxTemplate box(params, nullptr);
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Brenvik Viva Zadado (2 seconds remaining)"));
    EXPECT_FALSE(box.Button(kIdYes)->isEnabled());
    EXPECT_FALSE(box.Button(kIdNo)->isEnabled());
    EXPECT_FALSE(box.CloseAllowed());
    box.Tick();
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Brenvik Viva Zadado (1 seconds remaining)"));
    box.Tick();
    EXPECT_EQ(box.windowTitle(), kCaption);
    EXPECT_TRUE(box.Button(kIdYes)->isEnabled());
    EXPECT_TRUE(box.Button(kIdNo)->isEnabled());
    EXPECT_EQ(box.Result(), kIdCancel);  // still open: nothing was pressed
  }
  {
    HtmlMessageBoxParams params = Params(kMbOkCancel | kMbDefButton2);
    params.disableTime = 1;
    CHtmlMessageBoxTemplate box(params, nullptr);
    EXPECT_EQ(box.Button(kIdCancel)->text(), QStringLiteral("Cancel = 1"));
    EXPECT_FALSE(box.Button(kIdCancel)->isEnabled());
    EXPECT_TRUE(box.Button(kIdOk)->isEnabled());
    EXPECT_FALSE(box.CloseAllowed());  // the default is Cancel while it counts down
    box.Tick();
    EXPECT_EQ(box.Button(kIdCancel)->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(box.Button(kIdCancel)->isEnabled());
    EXPECT_TRUE(box.CloseAllowed());
  }
}

TEST(HtmlMessageBox, MoreAreaGrowsAndShrinksTheBox) {
  HtmlMessageBoxParams params = Params(kMbOk);
  params.moreText = "Details<br>on two lines";
  CHtmlMessageBoxTemplate box(params, nullptr);
  ASSERT_NE(box.Button(kIdMore), nullptr);
  EXPECT_EQ(box.Button(kIdMore)->text(), QStringLiteral("More >>"));
  const int collapsed = box.height();
  ASSERT_GT(box.MoreHeight(), 0);
  box.OnCommand(kIdMore);
  EXPECT_TRUE(box.Expanded());
  EXPECT_EQ(box.height(), collapsed + box.MoreHeight());
  EXPECT_EQ(box.Button(kIdMore)->text(), QStringLiteral("<< More"));
  box.OnCommand(kIdMore);
  EXPECT_EQ(box.height(), collapsed);
  EXPECT_EQ(box.Result(), kIdCancel);  // toggling does not close
}

// Acts on the box once it is open: the action gets the dialog.
void WhenBoxOpens(std::function<void(CHtmlMessageBoxTemplate*)> action) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, action] {
    auto* box = qobject_cast<CHtmlMessageBoxTemplate*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    action(box);
  });
  poll->start(10);
}

TEST(HtmlMessageBox, EscapeAndCloseFollowTheButtonSet) {
  struct Case {
    const char* label;
    unsigned style;
    int press;  // pressed after Esc and the close box when the box stays open
    int expected;
  };
  const Case cases[] = {
      {"esc closes an ok box", kMbNotice, 0, kIdCancel},
      {"esc and close ignored on yes/no", kMbConfirmation, kIdNo, kIdNo},
      {"yes", kMbConfirmation, kIdYes, kIdYes},
  };
  for (const Case& c : cases) {
    WhenBoxOpens([c](CHtmlMessageBoxTemplate* box) {
      EXPECT_EQ(box->windowTitle(), kCaption);
      QTest::keyClick(box, Qt::Key_Escape);
      if (box->isVisible()) box->close();
      if (c.press != 0) {
        EXPECT_TRUE(box->isVisible()) << c.label;
        if (box->isVisible()) box->Button(c.press)->click();
      }
    });
    EXPECT_EQ(AppMessageBox(nullptr, QStringLiteral("Saved to <a href='/tmp'>/tmp</a>.<br>Done"),
                            kCaption, c.style | MBX_NO_SOUND),
              c.expected)
        << c.label;
  }
}

TEST(HtmlMessageBox, CheckBoxMemoryAnswersWithoutShowing) {
  QTemporaryDir settingsHome;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsHome.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsHome.path());
  HtmlMessageBoxParams params = Params(kMbYesNo | MBX_CHECKBOX);
  params.registryPrefix = QStringLiteral("RepairAll");
  params.messageId = 7;

  WhenBoxOpens([](CHtmlMessageBoxTemplate* box) {
    ASSERT_NE(box->CheckBox(), nullptr);
    box->CheckBox()->setChecked(true);
    box->Button(kIdNo)->click();
  });
  EXPECT_EQ(HtmlMessageBox(params), kIdNo);

  int shown = 0;
  SetMessageBoxHook([&shown](const QString&, const QString&, unsigned) {
    ++shown;
    return kIdYes;
  });
  EXPECT_EQ(HtmlMessageBox(params), kIdNo);  // remembered
  EXPECT_EQ(shown, 0);
  params.messageId = 8;  // another box is asked
  EXPECT_EQ(HtmlMessageBox(params), kIdYes);
  EXPECT_EQ(shown, 1);
  SetMessageBoxHook(nullptr);
}

TEST(HtmlMessageBox, MissingCaptionWithoutOwnerIsError) {
  QString caption;
  SetMessageBoxHook([&caption](const QString&, const QString& shownCaption, unsigned) {
    caption = shownCaption;
    return kIdOk;
  });
  HtmlMessageBoxParams params = Params(kMbOk);
  params.caption = TextOrId();
  EXPECT_EQ(HtmlMessageBox(params), kIdOk);
  EXPECT_EQ(caption, QStringLiteral("Error"));
  SetMessageBoxHook(nullptr);
}

TEST(HtmlMessageBox, WorkerThreadGetsItsAnswerFromTheGuiThread) {
  WhenBoxOpens([](CHtmlMessageBoxTemplate* box) { box->Button(kIdYes)->click(); });
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = AppMessageBox(nullptr, QStringLiteral("Are you sure to stop the running process?"),
                           kCaption, kMbConfirmation | MBX_NO_SOUND);
  });
  for (int i = 0; i < 500 && answer == 0; ++i)
    QTest::qWait(10);
  worker.join();
  EXPECT_EQ(answer, kIdYes);
}

TEST(AppMessageBox, GivesTheProgramsLook) {
  const HtmlMessageBoxParams params =
      AppMessageBoxParams(nullptr, QStringLiteral("Hi"), kCaption, kMbNotice);
  EXPECT_EQ(params.messageArea.effect, 12);
  EXPECT_EQ(params.messageArea.start, 0xB3DFFDu);
  EXPECT_EQ(params.messageArea.middle, 0x84CBFBu);
  EXPECT_EQ(params.messageArea.end, 0xB3DFFDu);
  EXPECT_EQ(params.messageArea.separatorStyle, 0);
  EXPECT_EQ(params.buttonArea.effect, -1);
  EXPECT_EQ(params.buttonAlign, 2);
  EXPECT_EQ(params.style, kMbNotice);

  // The painted box shows the vbump: light edges, a warmer middle.
  CHtmlMessageBoxTemplate box(params, nullptr);
  const QImage shot = box.grab().toImage();
  const QColor edge = shot.pixelColor(0, shot.height() - 2);
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() - 2);
  EXPECT_EQ(edge, QColor(253, 223, 179));
  EXPECT_LT(middle.blue(), edge.blue() - 30);
}

TEST(MessageStyles, OnlyYesNoSetsAreQuestions) {
  EXPECT_TRUE(IsQuestion(kMbConfirmation));
  EXPECT_TRUE(IsQuestion(kMbYesNoCancel));
  EXPECT_FALSE(IsQuestion(kMbNotice));
  EXPECT_FALSE(IsQuestion(kMbRetryCancel));  // shares the Yes/No bit, is no question
  EXPECT_FALSE(IsQuestion(kMbCancelTryContinue));
  EXPECT_EQ(UnaskedAnswer(kMbConfirmation), kIdNo);
  EXPECT_EQ(UnaskedAnswer(kMbNotice), kIdOk);
}

}  // namespace
