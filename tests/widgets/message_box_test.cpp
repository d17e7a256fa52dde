#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <thread>

#include "widgets/app_message_box.h"
#include "widgets/message_box_dialog.h"

namespace {

// The converted markup without the wrapper that keeps blanks.
QString Body(const QString& markup) {
  QString rich = MessageMarkupToRichText(markup);
  const QString head = QStringLiteral("<html><body style=\"white-space: pre-wrap;\">");
  const QString tail = QStringLiteral("</body></html>");
  EXPECT_TRUE(rich.startsWith(head));
  EXPECT_TRUE(rich.endsWith(tail));
  return rich.mid(head.size(), rich.size() - head.size() - tail.size());
}

TEST(MessageMarkup, ConvertsToRichText) {
  struct Case {
    const char* label;
    const char* markup;
    const char* rich;
  };
  const Case cases[] = {
      {"br tag", "one<br>two", "one<br>two"},
      {"line feed", "one\ntwo", "one<br>two"},
      {"cr lf is one break", "one\r\ntwo", "one<br>two"},
      {"numbered br", "a<br 3>b", "a<br><br><br>b"},
      {"bold", "<b>Stop</b> now", "<b>Stop</b> now"},
      {"link in single quotes", "<a href='/tmp/out dir'>here</a>",
       "<a href=\"/tmp/out dir\">here</a>"},
      {"link in double quotes", "<a href=\"https://example.org/x?a=1&b=2\">w</a>",
       "<a href=\"https://example.org/x?a=1&amp;b=2\">w</a>"},
      {"entities", "&lt;Enter&gt; &amp; &quot;go&quot;", "&lt;Enter&gt; &amp; &quot;go&quot;"},
      {"escaped ampersand before lt", "&amp;lt;", "&lt;"},
      {"bare ampersand", "R&D", "R&amp;D"},
      {"unknown tag skipped", "<p>text</p>", "text"},
      {"unterminated tag is text", "a < b", "a &lt; b"},
      {"doubled less-than", "a << b", "a &lt; b"},
      {"script tag dropped", "<script>x</script>", "x"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Body(QString::fromUtf8(c.markup)), QString::fromUtf8(c.rich)) << c.label;
  }
}

TEST(MessageMarkup, LinkTargetsBecomeUrls) {
  const auto url = [](const char* target) {
    return CMessageBoxDialog::LinkTargetUrl(QString::fromLatin1(target));
  };
  EXPECT_EQ(url("https://example.org/a"), QUrl(QStringLiteral("https://example.org/a")));
  EXPECT_EQ(url("mailto:info@example.org").scheme(), QStringLiteral("mailto"));
  EXPECT_EQ(url("/tmp/saved files"), QUrl::fromLocalFile(QStringLiteral("/tmp/saved files")));
  EXPECT_TRUE(url("C:\\Saved").isLocalFile());  // a drive letter, not a scheme
}

// Acts on the box once it is open: the action gets the dialog.
void WhenBoxOpens(std::function<void(QWidget*)> action) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, action] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr) return;
    poll->stop();
    poll->deleteLater();
    action(box);
  });
  poll->start(10);
}

void Press(QWidget* box, int answerId) {
  for (QPushButton* button : box->findChildren<QPushButton*>()) {
    if (button->property("answerId").toInt() == answerId) {
      button->click();
      return;
    }
  }
  ADD_FAILURE() << "no button " << answerId;
}

struct BoxCase {
  const char* label;
  unsigned style;
  bool escapeFirst;
  int press;  // 0: nothing after Esc
  int expected;
};

TEST(AppMessageBoxDialog, ButtonsAndEscape) {
  const BoxCase cases[] = {
      {"ok pressed", kMbOk | kMbIconInformation, false, kIdOk, kIdOk},
      {"esc on ok box", kMbOk | kMbIconInformation, true, 0, kIdCancel},
      {"yes", kMbYesNo | kMbIconQuestion, false, kIdYes, kIdYes},
      {"esc ignored, then no", kMbYesNo | kMbIconQuestion, true, kIdNo, kIdNo},
      {"close ignored, then yes", kMbYesNo, false, kIdYes, kIdYes},
  };
  for (const BoxCase& c : cases) {
    WhenBoxOpens([c](QWidget* box) {
      EXPECT_EQ(box->windowTitle(), QStringLiteral("Brenvik Viva Zadado"));
      if (c.escapeFirst) QTest::keyClick(box, Qt::Key_Escape);
      if (c.style == kMbYesNo) box->close();
      if (c.press != 0) {
        EXPECT_TRUE(box->isVisible()) << c.label;
        if (box->isVisible()) Press(box, c.press);
      }
    });
    EXPECT_EQ(AppMessageBox(nullptr, QStringLiteral("Saved to <a href='/tmp'>/tmp</a>.<br>Done"),
                            QStringLiteral("Brenvik Viva Zadado"), c.style),
              c.expected)
        << c.label;
  }
}

TEST(AppMessageBoxDialog, WorkerThreadGetsItsAnswerFromTheGuiThread) {
  WhenBoxOpens([](QWidget* box) { Press(box, kIdYes); });
  std::atomic<int> answer{0};
  std::thread worker([&] {
    answer = AppMessageBox(nullptr, QStringLiteral("Are you sure to stop the running process?"),
                           QStringLiteral("Brenvik Viva Zadado"), 0x24);
  });
  for (int i = 0; i < 500 && answer == 0; ++i)
    QTest::qWait(10);
  worker.join();
  EXPECT_EQ(answer, kIdYes);
}

}  // namespace
