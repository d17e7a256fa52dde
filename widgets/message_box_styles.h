// Message-box styles and answers: the one home of these values for the desktop program (the
// engine's JobView names the same numbers for its jobs, and holds the "is this a question" test).
#pragma once

#include <cstdint>

#include "engine/job_view.h"

// Button sets (bits 0-3). 7-9 are the box's own sets in the values the platform leaves free.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbOkCancel = 0x1;
inline constexpr unsigned kMbAbortRetryIgnore = 0x2;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;
inline constexpr unsigned kMbRetryCancel = 0x5;
inline constexpr unsigned kMbCancelTryContinue = 0x6;
inline constexpr unsigned kMbContinueAbort = 0x7;
inline constexpr unsigned kMbSkipSkipAllCancel = 0x8;
inline constexpr unsigned kMbIgnoreIgnoreAllCancel = 0x9;
inline constexpr unsigned kMbButtonSetMask = 0xF;

// Icons (bits 4-7).
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbIconQuestion = 0x20;
inline constexpr unsigned kMbIconExclamation = 0x30;
inline constexpr unsigned kMbIconAsterisk = 0x40;
inline constexpr unsigned kMbIconInformation = kMbIconAsterisk;
inline constexpr unsigned kMbUserIcon = 0x80;
inline constexpr unsigned kMbIconMask = 0xF0;

// Default button (bits 8-11) and the further platform bits.
inline constexpr unsigned kMbDefButtonMask = 0xF00;
inline constexpr unsigned kMbDefButton1 = 0x000;
inline constexpr unsigned kMbDefButton2 = 0x100;
inline constexpr unsigned kMbDefButton3 = 0x200;
inline constexpr unsigned kMbDefButton4 = 0x300;
inline constexpr unsigned kMbHelp = 0x4000;
inline constexpr unsigned kMbSetForeground = 0x10000;
inline constexpr unsigned kMbTopmost = 0x40000;
inline constexpr unsigned kMbRight = 0x80000;

// The box's own extension bits.
inline constexpr unsigned MBX_CHECKBOX = 0x01000000;
inline constexpr unsigned MBX_CHECKBOX_CHECKED = 0x02000000;
inline constexpr unsigned MBX_CHECKBOX_BELOW_BUTTONS = 0x04000000;
inline constexpr unsigned MBX_YES_TO_ALL = 0x08000000;
inline constexpr unsigned MBX_NO_TO_ALL = 0x10000000;
inline constexpr unsigned MBX_NO_RESOURCE_STRINGS = 0x20000000;
inline constexpr unsigned MBX_NO_SOUND = 0x40000000;

// The program's two kinds of message.
inline constexpr unsigned kMbNotice = kMbOk | kMbIconInformation;        // 0x40
inline constexpr unsigned kMbConfirmation = kMbYesNo | kMbIconQuestion;  // 0x24

// Answers: the ids of the buttons.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdAbort = 3;
inline constexpr int kIdRetry = 4;
inline constexpr int kIdIgnore = 5;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdHelp = 9;
inline constexpr int kIdTryAgain = 10;
inline constexpr int kIdContinue = 11;
inline constexpr int kIdSkip = 14;
inline constexpr int kIdSkipAll = 15;
inline constexpr int kIdIgnoreAll = 16;
inline constexpr int kIdYesToAll = 19;
inline constexpr int kIdNoToAll = 20;
inline constexpr int kIdReport = 21;
inline constexpr int kIdCustom1 = 23;  // 23-26: the custom buttons in order
inline constexpr int kIdLess = 30;     // "<< More"
inline constexpr int kIdMore = 31;     // "More >>"

// The "is this a question" test and the answer when nobody can be asked are the engine's (its
// jobs ask the same questions through JobView); the widgets use them under the same names.
using engine::IsQuestion;
using engine::UnaskedAnswer;
static_assert(engine::kMbYesNo == kMbYesNo && engine::kMbYesNoCancel == kMbYesNoCancel &&
              engine::kMbButtonSetMask == kMbButtonSetMask && engine::kIdYes == kIdYes &&
              engine::kIdNo == kIdNo && engine::kIdOk == kIdOk);
