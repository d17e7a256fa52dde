// The one funnel for every message the program shows.
#pragma once

#include <QString>
#include <functional>

#include "widgets/html_message_box.h"
#include "widgets/message_box_styles.h"

class QWidget;

// The record AppMessageBox shows: the program's look (a vbump background in warm orange) with
// owner, text (message markup), caption and style.
HtmlMessageBoxParams AppMessageBoxParams(QWidget* owner, const QString& text,
                                         const QString& caption, unsigned style);

// Shows text with caption, the icon and buttons of style, modally over owner (or the active
// window), from any thread. Returns the pressed button: kIdOk, kIdYes or kIdNo (kIdCancel when
// an OK box is closed with Esc).
int AppMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned style);

// Test seam: while a hook is set, it answers instead of a box being shown.
using AppMessageBoxHook = MessageBoxHook;
void SetAppMessageBoxHook(AppMessageBoxHook hook);

// Text (a file name, a path) made safe to put into message markup: it shows exactly as given.
QString EscapeMessageText(const QString& text);
