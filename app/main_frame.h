// The single top-level window: menu bar, the "Standard" tool bar, the status bar, the logo, and
// the workspace view in the middle. Routes commands to the view while its flags allow them and
// guards closing while a job runs.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <atomic>
#include <functional>
#include <map>

class CLockIndicators;
class CTesselMSOfficeDotmProjView;
class CToolBarCustomizeDlg;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QToolBar;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kMinWidth = 650;
  static constexpr int kMinHeight = 450;
  static constexpr int kStatusPaneWidth = 500;
  // The tool bar's customize command ("Customize...").
  static constexpr int kIdCustomize = 126;

  // look is the visual style (210-218) applied before the bars are built.
  explicit CMainFrame(int look, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // 1 while a repair or save job runs; the workers poll it and Stop clears it.
  std::atomic<int> m_bJobRunning{0};
  CTesselMSOfficeDotmProjView* m_pView = nullptr;

  QAction* Action(int commandId) const;
  QLabel* LogoButton() const { return logo_; }
  void SetStatusPaneText(const QString& text);
  QString StatusPaneText() const;
  // Applies a visual style (210-218) and stores it; marks its command. Any other value is
  // stored too but changes nothing: the Office 2007 look keeps its colour style.
  void SetApplicationLook(int look);
  // The look whose colours are on screen (215-218 for the Office 2007 colour styles).
  int AppliedLook() const { return appliedLook_; }

  // The tool bar "Standard": dockable on every side, its commands chosen in the customize
  // dialog (which ends it with its customize button).
  QToolBar* ToolBar() const { return toolBar_; }
  QList<int> ToolBarCommands() const;
  void SetToolBarCommands(const QList<int>& commandIds);
  void OnCustomize();
  // F6 (step 1) and Shift+F6 (step -1): the focus to the next or previous pane of the view
  // (file list, destination box, log), skipping those that cannot take it.
  void MoveToPane(int step);
  CLockIndicators* LockIndicators() const { return indicators_; }

  // Commands.
  void OnSelectFiles();
  void OnSaveFiles();
  void OnHelp();
  void OnVisitWebPage();
  void OnLogoClicked();
  void OnAppAbout();

  // The help document: the first of the candidates that exists, else the first candidate.
  static QString HelpFilePath();
  static QStringList HelpFileCandidates();
  static const QUrl& ProductPageUrl();
  static const QUrl& MakerSiteUrl();
  // Test seam: opens web pages and the help file (default: the desktop's handler).
  using UrlOpener = std::function<bool(const QUrl&)>;
  static void SetUrlOpener(UrlOpener opener);
  // Test seam: runs the customize dialog instead of exec(); true means accepted.
  using CustomizeRunner = std::function<bool(CToolBarCustomizeDlg& dialog)>;
  static void SetCustomizeRunner(CustomizeRunner runner);

  // The bars' context menu: the bars, Customize... and the Office 2007 looks.
  QMenu* createPopupMenu() override;

 public slots:
  void UpdateCommandStates();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowSplash();
  void CreateActions();
  void CreateLookActions();
  void ApplyLook(int look);
  void AddCustomizeButton();
  void PlaceLogo();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateLogo();
  void CreateShortcuts();
  void ConnectView();
  bool ConfirmClose();

  std::map<int, QAction*> actions_;
  QLabel* statusPane_ = nullptr;
  QLabel* logo_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QAction* customizeButton_ = nullptr;  // the tool bar's own action for its customize button
  QActionGroup* looks_ = nullptr;
  CLockIndicators* indicators_ = nullptr;
  int appliedLook_ = 0;
  bool closeConfirmed_ = false;
};
