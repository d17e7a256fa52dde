// The single top-level window: menu bar, the "Standard" tool bar, the status bar, the logo, and
// the workspace view in the middle. Routes commands to the view while its flags allow them and
// guards closing while a job runs.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <atomic>
#include <functional>
#include <map>

class CTesselMSOfficeDotmProjView;
class QAction;
class QLabel;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr int kMinWidth = 650;
  static constexpr int kMinHeight = 450;
  static constexpr int kStatusPaneWidth = 500;

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
  // Applies a visual style (210-218) and stores it.
  void SetApplicationLook(int look);

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

 public slots:
  void UpdateCommandStates();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowSplash();
  void CreateActions();
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
  bool closeConfirmed_ = false;
};
