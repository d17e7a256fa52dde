// The workspace: the single view that fills the main frame. It holds the file list, the
// buttons, the log panel, the instruction line, the destination box, the preview and the two
// progress bars; it runs the repair and save jobs on a worker thread and keeps the workspace
// flags that decide which commands are allowed.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/job_param.h"
#include "engine/job_view.h"
#include "workspace/folder_disposer.h"
#include "workspace/log_panel.h"

class CTesselListCtrl;
class CPictureBox;
class CPromptEdit;
class CEstimateProgressCtrl;
class CInstructionLine;
class CViewJobAdapter;
class CJobThread;
class QCheckBox;
class QLabel;
class QPushButton;

class CTesselMSOfficeDotmProjView : public QWidget {
  Q_OBJECT

 public:
  // Up to this many paths of one selection are listed.
  static constexpr int kMaxSelectedFiles = 100;

  // jobRunning is the frame's m_bJobRunning; it outlives the view.
  explicit CTesselMSOfficeDotmProjView(std::atomic<int>* jobRunning, QWidget* parent = nullptr);
  ~CTesselMSOfficeDotmProjView() override;

  // Workspace flags, 0 or 1 (see the enabling rules in EnableSelect and friends).
  int m_bCanSelect = 0;
  int m_bCanRepair = 0;
  int m_bCanSave = 0;
  int m_bListRepaired = 0;
  engine::JobThreadParam m_JobParam;

  // Commands.
  void OnSelectFiles();
  void OnRemoveFiles();
  void OnRepairFiles();
  void OnSaveFiles();
  void OnBrowseFolder();
  void OnStopJob();
  // Shows the preview of row (the list's preview message). 1 when a picture was shown or
  // nothing had to be done, 0 when a hint was shown.
  int OnShowItemPreview(int row);

  // Drops: the paths are trimmed; those containing ".dotm" are listed.
  void DropPaths(const QStringList& paths);
  // 1 when no listed path equals path, compared without regard to case.
  int IsNotInList(const QString& path) const;

  // The controls the jobs drive (GUI thread only).
  void ShowPreview(const QString& text, int mode);
  void AppendLog(const QString& text, std::uint32_t colour);
  void AppendLogLines(std::span<const CLogPanel::Line> lines);
  void SetLogText(const QString& text);
  void SetInstruction(const QString& text, std::span<const engine::TextRange> bold);
  void ShowProgressArea(bool fileBar, bool totalBar);
  void EnableSelect(bool enable);
  void EnableRepair(bool enable);
  void EnableSaveControls(bool enable);
  void ShowStop(bool show);
  QString DestinationText() const;
  bool ExtractMediaChecked() const;

  CTesselListCtrl* List() const { return list_; }
  CPictureBox* Preview() const { return preview_; }
  CEstimateProgressCtrl* ProgressBar(engine::ProgressBar bar) const;
  // Deletes removed rows' folders in the background.
  CFolderDisposer& FolderDisposer() const { return *disposer_; }
  engine::JobView& JobViewAdapter() const;
  // True from the start of a worker thread until it has been joined.
  bool WorkerActive() const;
  // Waits, serving the event loop, until a worker thread has ended and been joined.
  void WaitForWorker();

  // The band layout of the log panel and the progress area, for the current size.
  void LayOut();

 signals:
  // A workspace flag changed: the frame updates its commands.
  void flagsChanged();
  // Text for the status bar's first pane (mouse-over texts; empty over the background).
  void statusText(const QString& text);
  // The Exit button: the frame runs its close handling.
  void exitRequested();
  // A worker thread has ended and been joined.
  void jobFinished();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreateButtons();
  void CreateLowerControls();
  void CreateProgressArea();
  void InitialiseState();
  void ConnectControls();
  void WatchMouseMoves();
  QPushButton* MakeButton(const char* id, const QString& caption, const QString& tip,
                          const QString& image);
  QLabel* MakeLabel(const QString& text, const QFont& font);

  void LayOutBand(int width, int height, int top);
  QRect PreviewLabelRect(int width) const;
  void UpdateListBackground(int width, int height);
  QString HoverTextOf(QObject* control) const;
  // The view's own child that holds descendant (itself when it is one); null for others.
  QObject* DirectChild(QObject* descendant) const;

  bool AcceptAsCopy(QDropEvent* event);
  void AddSelectedPaths(const QStringList& paths);
  void RemoveSelectedRow(int row);
  void ReturnToEmptyState();
  void DiscardWorkingFolder();
  void StartWorker(int (*worker)(const engine::JobThreadParam*));
  void OnWorkerEnded();
  void FillJobParam();

  std::atomic<int>* jobRunning_;
  std::unique_ptr<CViewJobAdapter> adapter_;
  std::unique_ptr<CJobThread> worker_;
  std::unique_ptr<CFolderDisposer> disposer_;

  QFont normalFont_;
  QFont boldFont_;
  QPixmap headerLeft_, headerFill_, footerFill_, footerLeft_, listBackground_;

  CTesselListCtrl* list_ = nullptr;
  QPushButton* selectButton_ = nullptr;
  QPushButton* removeButton_ = nullptr;
  QPushButton* repairButton_ = nullptr;
  QPushButton* saveButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QPushButton* exitButton_ = nullptr;
  QLabel* locationLabel_ = nullptr;
  CLogPanel* log_ = nullptr;
  CInstructionLine* instruction_ = nullptr;
  CPromptEdit* pathBox_ = nullptr;
  QPushButton* browseButton_ = nullptr;
  CPictureBox* preview_ = nullptr;
  QLabel* previewLabel_ = nullptr;
  QCheckBox* extractMedia_ = nullptr;
  QLabel* fileProgressLabel_ = nullptr;
  QLabel* totalProgressLabel_ = nullptr;
  CEstimateProgressCtrl* fileProgress_ = nullptr;
  CEstimateProgressCtrl* totalProgress_ = nullptr;
};
