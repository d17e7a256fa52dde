// The one funnel for every message the program shows.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// Styles (message-box flags) and answers.
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Shows text (message markup: "<br>" line breaks, <b>, <a href='...'> links, "\n" also breaks)
// with caption, the icon and buttons of style, modally over owner (or the active window).
// Returns the pressed button: kIdOk, kIdYes or kIdNo (kIdCancel when closed without a choice
// on an OK box). Must run on the GUI thread.
int AppMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style);

// Test seam: while a hook is set, AppMessageBox calls it instead of showing a box.
using AppMessageBoxHook =
    std::function<int(const QString& text, const QString& caption, unsigned style)>;
void SetAppMessageBoxHook(AppMessageBoxHook hook);

// Converts message markup to the rich text a Qt label shows.
QString MessageMarkupToRichText(const QString& text);
