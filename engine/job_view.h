// What the repair and save jobs need from the user interface, and nothing more.
//
// The jobs run on a worker thread. They reach the window only through this interface: the
// desktop view implements it by queuing every call onto the GUI thread (calls that return a
// value block the worker until the GUI thread answers), the command-line program prints, and
// the tests record. Calls must take effect in the order they are made.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace engine {

// Colours as 0x00BBGGRR values.
inline constexpr std::uint32_t kLogBlack = 0x000000;
inline constexpr std::uint32_t kLogGreen = 0x009900;
inline constexpr std::uint32_t kLogRed = 0x0000FF;

// Message box styles and answers.
inline constexpr unsigned kMbIconInformation = 0x40;  // OK button, information icon
inline constexpr unsigned kMbYesNoQuestion = 0x24;    // Yes and No buttons, question icon
inline constexpr int kIdYes = 6;
inline constexpr int kIdOk = 1;
inline constexpr int kIdNo = 7;

// The button set is the style's low four bits; two of the sets have a Yes button.
inline constexpr unsigned kMbButtonSetMask = 0xF;
inline constexpr unsigned kMbYesNoCancel = 0x3;
inline constexpr unsigned kMbYesNo = 0x4;

// A question is a box whose button set has a Yes button; only kIdYes proceeds. Every view and
// widget that answers a box on the user's behalf decides with this one test.
constexpr bool IsQuestion(unsigned style) {
  const unsigned set = style & kMbButtonSetMask;
  return set == kMbYesNo || set == kMbYesNoCancel;
}

// The answer when nobody can be asked (no window, no terminal, closing): a question is declined,
// a notice read.
constexpr int UnaskedAnswer(unsigned style) {
  return IsQuestion(style) ? kIdNo : kIdOk;
}
static_assert(IsQuestion(kMbYesNoQuestion) && !IsQuestion(kMbIconInformation));

inline constexpr std::string_view kAppCaption = "Brenvik Viva Zadado";

// Preview box modes: 0-5 show the hint texts below when no picture is held, 6 shows the picture
// at the given path (or nothing).
enum PreviewMode : int {
  kPreviewNoFiles = 0,      // "No .dotm file(s) is available\n in the list"
  kPreviewSelect = 1,       // "Select .dotm file(s)\n to repair"
  kPreviewWait = 2,         // "Please wait while .dotm file(s)\n are repairing...."
  kPreviewClickRow = 3,     // "Select .dotm file(s)\n to see preview"
  kPreviewNoImage = 4,      // "No image is present \n in the selected .dotm file(s)"
  kPreviewNotRepaired = 5,  // "Selected .dotm file(s)\n is not repaired...."
  kPreviewImage = 6,
};

// File-list row images and item data.
inline constexpr int kRowNotRepaired = 0;
inline constexpr int kRowRepaired = 1;
inline constexpr int kRowListed = 2;  // image of a freshly listed row

enum class ProgressBar { kFile, kTotal };

// A bold range [first, end) of the instruction line; each line break counts as one character.
struct TextRange {
  int first;
  int end;
};

// Which job reports a row's result.
enum class JobKind { kRepair, kSave };

// What became of one listed package in a job. The jobs report it once per row they finish, so
// that callers (the command-line program's exit status, the tests) decide from outcomes and
// never from log text.
enum class RowResult {
  kWhole,       // repaired or saved with every part whole
  kIncomplete,  // repaired or saved, but some parts are cut short, damaged, lost or rebuilt
  kFailed,      // not repaired, or not saved
};

// The facts behind a row's result (repair_report.h).
struct RepairRowReport;
struct SaveRowReport;

class JobView {
 public:
  virtual ~JobView() = default;

  // Log panel. Text is UTF-8 and carries its own "\r\n" line ends.
  virtual void AppendLog(std::string_view text, std::uint32_t colour) = 0;
  virtual void ClearLog() = 0;

  // File list. A row's text is the package path exactly as listed (UTF-8).
  virtual int RowCount() = 0;
  virtual std::string RowText(int row) = 0;
  virtual int RowData(int row) = 0;
  virtual void SetRowData(int row, int data) = 0;
  virtual void SetRowImage(int row, int image) = 0;

  // Progress bars: ResetEstimate before a new range, then range and position.
  virtual void ResetEstimate(ProgressBar bar) = 0;
  virtual void SetProgressRange(ProgressBar bar, int upper) = 0;
  virtual void SetProgressPos(ProgressBar bar, int pos) = 0;
  // Shows or hides the progress labels and bars and lays the view out again.
  virtual void ShowProgressArea(bool fileBar, bool totalBar) = 0;

  // Controls. Each also sets the matching workspace flag (m_bCanSelect, m_bCanRepair for
  // Repair files and Remove files, m_bCanSave for Browse, Save, Extract Media and the path box).
  virtual void EnableSelect(bool enable) = 0;
  virtual void EnableRepair(bool enable) = 0;
  virtual void EnableSaveControls(bool enable) = 0;
  virtual void ShowStop(bool show) = 0;  // shown and enabled, or hidden

  virtual void SetInstruction(std::string_view text, std::span<const TextRange> bold) = 0;
  virtual void ShowPreview(std::string_view path, int mode) = 0;

  // A modal message; returns the pressed button (kIdOk, kIdYes, kIdNo). Text is in the message
  // markup ("<br>" for a line break, <b>, <a href='...'>).
  virtual int MessageBox(std::string_view text, std::string_view caption, unsigned style) = 0;

  // Inputs the save job reads when it starts.
  virtual std::string DestinationText() = 0;  // empty while the path box shows its prompt
  virtual bool ExtractMediaChecked() = 0;

  // The result of one row, once per row and job, after its last log line. Views that show
  // everything through the log need not care.
  virtual void RowFinished(JobKind job, int row, RowResult result) {
    (void)job;
    (void)row;
    (void)result;
  }

  // The facts behind the result of one row, once per row and job, just before its RowFinished,
  // on the worker's thread; the report lives only during the call. For views that keep a record
  // of the run beyond the log; others need not care.
  virtual void RepairReported(int row, const RepairRowReport& report) {
    (void)row;
    (void)report;
  }
  virtual void SaveReported(int row, const SaveRowReport& report) {
    (void)row;
    (void)report;
  }
};

// A log line about one package: its path exactly as listed, followed directly by the text.
inline void LogForPackage(JobView& view, std::string_view package, std::string_view text,
                          std::uint32_t colour = kLogBlack) {
  std::string line(package);
  line += text;
  view.AppendLog(line, colour);
}

}  // namespace engine
