#include "app/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/tessel_doc.h"
#include "app/visual_style.h"
#include "engine/job_view.h"
#include "engine/working_folder.h"
#include "widgets/app_message_box.h"
#include "widgets/splash_window.h"
#include "workspace/tessel_view.h"

namespace {

const QString kCaption = QStringLiteral("Brenvik Viva Zadado");

CMainFrame::UrlOpener& Opener() {
  static CMainFrame::UrlOpener opener;
  return opener;
}

bool OpenUrl(const QUrl& url) {
  if (Opener()) return Opener()(url);
  return QDesktopServices::openUrl(url);
}

QString StatusPrompt(const char* commandString) {
  return QString::fromLatin1(commandString).section(QLatin1Char('\n'), 0, 0);
}

QString ToolTip(const char* commandString) {
  const QString text = QString::fromLatin1(commandString);
  return text.contains(QLatin1Char('\n')) ? text.section(QLatin1Char('\n'), 1) : text;
}

}  // namespace

CMainFrame::CMainFrame(int look, QWidget* parent) : QMainWindow(parent) {
  ShowSplash();
  ApplyVisualStyle(look);
  setWindowTitle(CTesselMSOfficeDotmProjDoc::FrameCaption());
  setWindowIcon(QIcon(QStringLiteral(":/res/app_icon.png")));
  setMinimumSize(kMinWidth, kMinHeight);
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  m_pView = new CTesselMSOfficeDotmProjView(&m_bJobRunning, this);
  setCentralWidget(m_pView);
  ConnectView();
  CreateShortcuts();
  CreateLogo();
  UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
  // The view stops and joins a job still running while this frame is still whole.
  delete m_pView;
  m_pView = nullptr;
}

void CMainFrame::SetUrlOpener(UrlOpener opener) {
  Opener() = std::move(opener);
}

const QUrl& CMainFrame::ProductPageUrl() {
  static const QUrl url(QStringLiteral("https://www.brenvik.example/viva-zadado/"));
  return url;
}

const QUrl& CMainFrame::MakerSiteUrl() {
  static const QUrl url(QStringLiteral("https://www.brenvik.example/"));
  return url;
}

// The start-up picture over the frame being built: centred on the screen, fading in, gone
// after two seconds. It destroys itself; the frame does not touch it again.
void CMainFrame::ShowSplash() {
  auto* splash = new CSplashWindow;
  if (!splash->Create(this)) {
    delete splash;
    return;
  }
  splash->SetBitmap(QStringLiteral(":/res/splash.png"));
  splash->Show();
}

void CMainFrame::CreateActions() {
  for (const app_ids::CommandSpec& spec : app_ids::kCommands) {
    if (spec.id == app_ids::kIdFrameLogoButton) continue;
    // The hint after '\t' is shown as the item's shortcut text; the keys themselves are the
    // frame's own shortcuts below, which differ from the hints on purpose.
    auto* action = new QAction(QString::fromLatin1(spec.menuText), this);
    action->setData(spec.id);
    action->setStatusTip(StatusPrompt(spec.commandString));
    action->setToolTip(ToolTip(spec.commandString));
    if (spec.toolBarImage) action->setIcon(QIcon(QString::fromLatin1(spec.toolBarImage)));
    action->setIconVisibleInMenu(false);
    actions_[spec.id] = action;
  }
  connect(Action(app_ids::kIdSelectFiles), &QAction::triggered, this, [this] { OnSelectFiles(); });
  connect(Action(app_ids::kIdRemoveFiles), &QAction::triggered, this, [this] {
    if (m_pView) m_pView->OnRemoveFiles();
  });
  connect(Action(app_ids::kIdRepairFiles), &QAction::triggered, this, [this] {
    if (m_pView) m_pView->OnRepairFiles();
  });
  connect(Action(app_ids::kIdBrowseFolder), &QAction::triggered, this, [this] {
    if (m_pView) m_pView->OnBrowseFolder();
  });
  connect(Action(app_ids::kIdSaveFiles), &QAction::triggered, this, [this] { OnSaveFiles(); });
  connect(Action(app_ids::kIdAppExit), &QAction::triggered, this, &QWidget::close);
  connect(Action(app_ids::kIdAppAbout), &QAction::triggered, this, [this] { OnAppAbout(); });
  connect(Action(app_ids::kIdSoftwareHelp), &QAction::triggered, this, [this] { OnHelp(); });
  connect(Action(app_ids::kIdVisitWebPage), &QAction::triggered, this,
          [this] { OnVisitWebPage(); });
}

QAction* CMainFrame::Action(int commandId) const {
  const auto found = actions_.find(commandId);
  return found == actions_.end() ? nullptr : found->second;
}

void CMainFrame::CreateMenus() {
  QMenu* file = menuBar()->addMenu(tr("&File"));
  file->addAction(Action(app_ids::kIdSelectFiles));
  file->addSeparator();
  file->addAction(Action(app_ids::kIdRemoveFiles));
  file->addAction(Action(app_ids::kIdRepairFiles));
  file->addSeparator();
  file->addAction(Action(app_ids::kIdBrowseFolder));
  file->addAction(Action(app_ids::kIdSaveFiles));
  file->addSeparator();
  file->addAction(Action(app_ids::kIdAppExit));
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  help->addAction(Action(app_ids::kIdAppAbout));
  help->addSeparator();
  help->addAction(Action(app_ids::kIdSoftwareHelp));
  help->addAction(Action(app_ids::kIdVisitWebPage));
}

void CMainFrame::CreateToolBar() {
  QToolBar* bar = addToolBar(tr("Standard"));
  bar->setObjectName(QStringLiteral("Standard"));
  bar->setIconSize(QSize(48, 48));
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (int id : app_ids::kToolBarCommands)
    bar->addAction(Action(id));
}

void CMainFrame::CreateStatusBar() {
  statusPane_ = new QLabel(kCaption, this);
  statusPane_->setObjectName(QStringLiteral("ID_STATUS_PANE_TEXT"));
  statusPane_->setMinimumWidth(kStatusPaneWidth);
  statusBar()->addWidget(statusPane_, 1);
  // The lock keys' states cannot be read reliably on every desktop: the panes stay dimmed.
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* pane = new QLabel(QString::fromLatin1(indicator), this);
    pane->setObjectName(QStringLiteral("ID_INDICATOR_%1").arg(QLatin1String(indicator)));
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(40);
    pane->setEnabled(false);
    statusBar()->addPermanentWidget(pane);
  }
}

void CMainFrame::CreateLogo() {
  logo_ = new QLabel(this);
  logo_->setObjectName(QStringLiteral("ID_FRAME_LOGO_BUTTON"));
  logo_->setAccessibleName(kCaption);
  const QPixmap picture(QStringLiteral(":/res/logo.png"));
  if (picture.isNull()) {
    logo_->setText(kCaption);
  } else {
    logo_->setPixmap(picture);
  }
  logo_->setAlignment(Qt::AlignCenter);
  logo_->setCursor(Qt::PointingHandCursor);
  logo_->setMouseTracking(true);
  logo_->installEventFilter(this);
  logo_->raise();
}

void CMainFrame::CreateShortcuts() {
  // Ctrl+N and Ctrl+O select files, Ctrl+S saves, whatever the menu hints read.
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::Key_N), QKeySequence(Qt::CTRL | Qt::Key_O)}) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { OnSelectFiles(); });
  }
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this,
          [this] { OnSaveFiles(); });
}

void CMainFrame::ConnectView() {
  connect(m_pView, &CTesselMSOfficeDotmProjView::flagsChanged, this,
          &CMainFrame::UpdateCommandStates);
  connect(m_pView, &CTesselMSOfficeDotmProjView::statusText, this, &CMainFrame::SetStatusPaneText);
  connect(m_pView, &CTesselMSOfficeDotmProjView::exitRequested, this, &QWidget::close);
}

void CMainFrame::UpdateCommandStates() {
  if (!m_pView) return;
  Action(app_ids::kIdSelectFiles)->setEnabled(m_pView->m_bCanSelect == 1);
  Action(app_ids::kIdRemoveFiles)->setEnabled(m_pView->m_bCanRepair == 1);
  Action(app_ids::kIdRepairFiles)->setEnabled(m_pView->m_bCanRepair == 1);
  Action(app_ids::kIdBrowseFolder)->setEnabled(m_pView->m_bCanSave == 1);
  Action(app_ids::kIdSaveFiles)->setEnabled(m_pView->m_bCanSave == 1);
}

void CMainFrame::OnSelectFiles() {
  if (m_pView && m_pView->m_bCanSelect == 1) m_pView->OnSelectFiles();
}

void CMainFrame::OnSaveFiles() {
  if (m_pView && m_pView->m_bCanSave == 1) m_pView->OnSaveFiles();
}

void CMainFrame::SetStatusPaneText(const QString& text) {
  statusPane_->setText(text);
  statusPane_->repaint();
}

QString CMainFrame::StatusPaneText() const {
  return statusPane_->text();
}

void CMainFrame::SetApplicationLook(int look) {
  ApplyVisualStyle(look);
  StoreApplicationLook(look);
  update();
}

QStringList CMainFrame::HelpFileCandidates() {
  // The program's folder itself, not its path with the program's name cut out of it (which
  // breaks in a folder whose name holds the program's name).
  const QString folder = QCoreApplication::applicationDirPath();
  const QString name = QStringLiteral("Brenvik for Viva Zadado");
#ifdef Q_OS_WIN
  // The compiled help beside the program; the same pages as HTML when it could not be built.
  return {folder + QLatin1Char('/') + name + QStringLiteral(".chm"),
          folder + QLatin1Char('/') + name + QStringLiteral(".html")};
#else
  // Beside the program in a build, under the data folder once installed.
  return {folder + QLatin1Char('/') + name + QStringLiteral(".html"),
          QDir::cleanPath(folder + QStringLiteral("/../share/doc/brenvik-viva-zadado/") + name +
                          QStringLiteral(".html"))};
#endif
}

QString CMainFrame::HelpFilePath() {
  const QStringList candidates = HelpFileCandidates();
  for (const QString& candidate : candidates) {
    if (QFileInfo(candidate).isFile()) return candidate;
  }
  return candidates.front();
}

void CMainFrame::OnHelp() {
  const QString path = HelpFilePath();
  if (!QFileInfo(path).isFile()) {
    AppMessageBox(this,
                  tr("Brenvik Viva Zadado help file not found, please re-install the software."),
                  kCaption, kMbIconInformation);
    return;
  }
  OpenUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::OnVisitWebPage() {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  OpenUrl(ProductPageUrl());
  QGuiApplication::restoreOverrideCursor();
}

void CMainFrame::OnLogoClicked() {
  OpenUrl(MakerSiteUrl());
}

void CMainFrame::OnAppAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (logo_) {
    logo_->setGeometry(width() - 250, 28, 245, 50);
    logo_->raise();
  }
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == logo_) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
      SetStatusPaneText(logo_->accessibleName().left(260));
    } else if (event->type() == QEvent::MouseButtonRelease) {
      OnLogoClicked();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (isMinimized()) showMaximized();
  if (!ConfirmClose()) {
    event->ignore();
    return;
  }
  if (m_pView && m_pView->WorkerActive()) {
    // A job is winding down and may wait for an answer from this thread: close once it is gone.
    closeConfirmed_ = true;
    connect(m_pView, &CTesselMSOfficeDotmProjView::jobFinished, this, &QWidget::close,
            Qt::SingleShotConnection);
    event->ignore();
    return;
  }
  if (m_pView) {
    m_pView->ShowPreview(QString(), engine::kPreviewImage);
    const std::filesystem::path working = engine::GetWorkingFolder();
    if (!working.empty()) engine::RemoveFolderTree(working);
  }
  event->accept();
}

bool CMainFrame::ConfirmClose() {
  if (m_bJobRunning.load() == 1) {
    AppMessageBox(this, tr("Please stop the running process before closing the application."),
                  kCaption, kMbIconInformation);
    return false;
  }
  if (closeConfirmed_) return true;
  return AppMessageBox(this, tr("Do you really want to exit?"), kCaption,
                       kMbYesNo | kMbIconQuestion) == kIdYes;
}
