// The program's own message box: markup text laid out by the renderer over a background of the
// draw manager, with the platform's button sets and a few more, custom buttons, a remembered
// "Do not show again" check box, an expandable "More" area and two countdowns.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <map>

#include "widgets/message_box_styles.h"

class QWidget;

// A text given either as itself or as the id of a string resource.
struct TextOrId {
  TextOrId() = default;
  TextOrId(const QString& value) : text(value) {}  // NOLINT: texts convert implicitly
  TextOrId(const char* value) : text(QString::fromUtf8(value)) {}  // NOLINT
  TextOrId(int resourceId)
      : id(resourceId > 0 && resourceId <= 0xFFFF ? resourceId : 0) {}  // NOLINT
  QString text;
  int id = 0;
};

struct MessageBoxArea {
  int separatorStyle = 0;  // 0 none, 1 etched, 2 black line, 3 white line
  int separatorAlign = 0;  // 0 left, 1 right, 2 centre
  TextOrId separatorText;
  int effect = -1;          // draw-manager effect; -1: the button-face colour
  std::uint32_t start = 0;  // 0x00BBGGRR
  std::uint32_t middle = 0;
  std::uint32_t end = 0;
};

struct HtmlMessageBoxParams {
  QWidget* owner = nullptr;  // null: the active window (or its modal box)
  TextOrId caption;
  QString registryPrefix;   // first part of the remembered value's name
  QString registryCompany;  // optional extra key level
  int messageId = 0;        // appended to the value name
  int reportMessage = 0;    // event type sent to the owner by "Report"; 0: no such button
  MessageBoxArea messageArea;
  int headerHeight = 0;  // minimum height of the header band; 0: no header
  TextOrId headerText;
  MessageBoxArea headerArea;
  TextOrId messageText;
  int buttonAlign = 2;  // 0 left, 1 right, 2 centre
  unsigned style = 0x30;
  MessageBoxArea buttonArea;
  TextOrId moreText;
  MessageBoxArea moreArea;
  int timeout = 0;      // seconds until the default button presses itself
  int disableTime = 0;  // seconds the buttons stay disabled
  int disableAll = 0;   // non-zero: all buttons but Help, countdown in the caption
  int helpContext = 0;
  QString userIcon;        // image file or resource path for kMbUserIcon
  TextOrId customButtons;  // up to four captions separated by "\n"
  TextOrId checkBoxText;
  const std::map<int, TextOrId>* customTexts = nullptr;  // button id -> caption
};

// The defaults: every area without effect in the button-face colour, centred buttons, 0x30.
void InitMessageBoxParams(HtmlMessageBoxParams& params);

// Shows the box modally and returns the pressed button's id (with 0x02000000 when a checked
// "Do not show again" box was asked to say so), or the remembered answer without showing
// anything. Workers get their answer through the GUI thread, which shows the box.
int HtmlMessageBox(const HtmlMessageBoxParams& params);

// Text resolution: the text itself, or the resource (empty when resources are not allowed).
QString ResolveText(const TextOrId& value, unsigned style);
// The caption of a built-in button id (1-31, 0x01000000 check box, 0x80000000 caption countdown).
QString BuiltInButtonCaption(int id);

// Test seam: while set, the hook answers instead of a box being shown (the remembered answer
// still comes first).
using MessageBoxHook =
    std::function<int(const QString& text, const QString& caption, unsigned style)>;
void SetMessageBoxHook(MessageBoxHook hook);
// Told each time a box has painted itself for the first time (benchmarks, screenshots).
void SetMessageBoxPaintedObserver(std::function<void(QWidget* box)> observer);
void NotifyMessageBoxPainted(QWidget* box);
