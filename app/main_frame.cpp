#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
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
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "app/about_dlg.h"
#include "app/command_ids.h"
#include "app/main_frame_customize_dlg.h"
#include "app/main_frame_indicators.h"
#include "app/tessel_doc.h"
#include "app/visual_style.h"
#include "engine/job_view.h"
#include "engine/working_folder.h"
#include "widgets/app_message_box.h"
#include "widgets/splash_window.h"
#include "workspace/control_ids.h"
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

CMainFrame::CustomizeRunner& Runner() {
  static CMainFrame::CustomizeRunner runner;
  return runner;
}

// The looks with menu texts: the Office 2007 colour styles.
struct LookText {
  int id;
  const char* text;
};
constexpr LookText kOfficeLooks[] = {
    {app_ids::kLookOffice2007Blue, "Office 2007 (&Blue Style)"},
    {app_ids::kLookOffice2007Black, "Office 2007 (B&lack Style)"},
    {app_ids::kLookOffice2007Silver, "Office 2007 (&Silver Style)"},
    {app_ids::kLookOffice2007Aqua, "Office 2007 (&Aqua Style)"},
};

// The Office 2007 colour style in force, for the whole program (as the look itself is).
int& OfficeColourLook() {
  static int look = app_ids::kLookOffice2007Blue;
  return look;
}

bool IsOfficeColourLook(int look) {
  return look >= app_ids::kLookOffice2007Blue && look <= app_ids::kLookOffice2007Aqua;
}
bool IsKnownLook(int look) {
  return look >= app_ids::kLookDefault && look <= app_ids::kLookOffice2007Aqua;
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
  ApplyLook(look);
  setWindowTitle(CTesselMSOfficeDotmProjDoc::FrameCaption());
  setWindowIcon(QIcon(QStringLiteral(":/res/app_icon.png")));
  setMinimumSize(kMinWidth, kMinHeight);
  CreateActions();
  CreateLookActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  m_pView = new CTesselMSOfficeDotmProjView(&m_bJobRunning, this);
  setCentralWidget(m_pView);
  ConnectView();
  CreateShortcuts();
  CreateLogo();
  UpdateCommandStates();
  for (QAction* action : looks_->actions())
    action->setChecked(action->data().toInt() == look);
}

CMainFrame::~CMainFrame() {
  // The view stops and joins a job still running while this frame is still whole.
  delete m_pView;
  m_pView = nullptr;
}

void CMainFrame::SetUrlOpener(UrlOpener opener) {
  Opener() = std::move(opener);
}

void CMainFrame::SetCustomizeRunner(CustomizeRunner runner) {
  Runner() = std::move(runner);
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

void CMainFrame::CreateLookActions() {
  auto* customize = new QAction(tr("Customize..."), this);
  customize->setData(kIdCustomize);
  customize->setStatusTip(tr("Customize..."));
  actions_[kIdCustomize] = customize;
  connect(customize, &QAction::triggered, this, [this] { OnCustomize(); });

  // Every style has its command (the radio mark shows the current one); only the Office 2007
  // colour styles have texts to be offered in a menu.
  looks_ = new QActionGroup(this);
  looks_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (int id = app_ids::kLookDefault; id <= app_ids::kLookOffice2007Aqua; ++id) {
    auto* look = new QAction(this);
    look->setData(id);
    look->setCheckable(true);
    for (const LookText& office : kOfficeLooks) {
      if (office.id == id) look->setText(tr(office.text));
    }
    looks_->addAction(look);
    actions_[id] = look;
    connect(look, &QAction::triggered, this, [this, id] { SetApplicationLook(id); });
  }
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
  toolBar_ = addToolBar(tr("Standard"));
  toolBar_->setObjectName(QStringLiteral("Standard"));
  toolBar_->setIconSize(QSize(48, 48));
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  // Dockable on every side of the frame, and floating.
  toolBar_->setMovable(true);
  toolBar_->setFloatable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
  for (int id : app_ids::kToolBarCommands)
    toolBar_->addAction(Action(id));
  AddCustomizeButton();
  // Docking, floating or customizing the bar moves its buttons: the logo looks again.
  const auto placeLogoLater = [this] { QTimer::singleShot(0, this, [this] { PlaceLogo(); }); };
  connect(toolBar_, &QToolBar::topLevelChanged, this, placeLogoLater);
  connect(toolBar_, &QToolBar::orientationChanged, this, placeLogoLater);
  connect(toolBar_, &QToolBar::actionTriggered, this, placeLogoLater);
}

void CMainFrame::AddCustomizeButton() {
  auto* button = new QToolButton(toolBar_);
  button->setObjectName(QStringLiteral("ID_TOOLBAR_CUSTOMIZE"));
  button->setArrowType(Qt::DownArrow);
  button->setAutoRaise(true);
  button->setToolTip(tr("Customize..."));
  button->setAccessibleName(tr("Customize..."));
  button->setFixedWidth(16);
  connect(button, &QToolButton::clicked, this, [this] { Action(kIdCustomize)->trigger(); });
  customizeButton_ = toolBar_->addWidget(button);
}

QList<int> CMainFrame::ToolBarCommands() const {
  QList<int> ids;
  for (QAction* action : toolBar_->actions()) {
    if (action != customizeButton_ && !action->isSeparator()) ids << action->data().toInt();
  }
  return ids;
}

void CMainFrame::SetToolBarCommands(const QList<int>& commandIds) {
  for (QAction* action : toolBar_->actions()) {
    if (action != customizeButton_) toolBar_->removeAction(action);
  }
  // The bar keeps its own order whatever order the ids come in.
  for (int id : app_ids::kToolBarCommands) {
    if (commandIds.contains(id)) toolBar_->insertAction(customizeButton_, Action(id));
  }
  QTimer::singleShot(0, this, [this] { PlaceLogo(); });
}

void CMainFrame::OnCustomize() {
  QList<QAction*> commands;
  QList<QAction*> shown;
  const QList<int> current = ToolBarCommands();
  for (int id : app_ids::kToolBarCommands) {
    commands << Action(id);
    if (current.contains(id)) shown << Action(id);
  }
  CToolBarCustomizeDlg dialog(commands, shown, this);
  const bool accepted = Runner() ? Runner()(dialog) : dialog.exec() == QDialog::Accepted;
  if (!accepted) return;
  QList<int> ids;
  for (QAction* command : dialog.ShownCommands())
    ids << command->data().toInt();
  SetToolBarCommands(ids);
}

QMenu* CMainFrame::createPopupMenu() {
  QMenu* menu = QMainWindow::createPopupMenu();
  if (!menu) menu = new QMenu(this);
  menu->addSeparator();
  menu->addAction(Action(kIdCustomize));
  QMenu* looks = menu->addMenu(tr("Application Look"));
  for (const LookText& office : kOfficeLooks)
    looks->addAction(Action(office.id));
  return menu;
}

void CMainFrame::CreateStatusBar() {
  statusPane_ = new QLabel(kCaption, this);
  statusPane_->setObjectName(QStringLiteral("ID_STATUS_PANE_TEXT"));
  statusPane_->setMinimumWidth(kStatusPaneWidth);
  statusBar()->addWidget(statusPane_, 1);
  QLabel* panes[3] = {};
  int index = 0;
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* pane = new QLabel(this);
    pane->setObjectName(QStringLiteral("ID_INDICATOR_%1").arg(QLatin1String(indicator)));
    pane->setAlignment(Qt::AlignCenter);
    // Wide enough for its name, so that the bar does not jump when a lock goes on.
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QLatin1String(indicator)) + 14);
    statusBar()->addPermanentWidget(pane);
    panes[index++] = pane;
  }
  indicators_ = new CLockIndicators(panes[0], panes[1], panes[2], this);
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
  connect(new QShortcut(QKeySequence(Qt::Key_F6), this), &QShortcut::activated, this,
          [this] { MoveToPane(1); });
  connect(new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this), &QShortcut::activated, this,
          [this] { MoveToPane(-1); });
}

void CMainFrame::MoveToPane(int step) {
  if (!m_pView) return;
  QList<QWidget*> panes;
  for (const char* id :
       {workspace_ids::kListCtrl, workspace_ids::kBrowseEditCtrl, workspace_ids::kEditCtrl}) {
    if (auto* pane = m_pView->findChild<QWidget*>(QLatin1String(id))) panes << pane;
  }
  const qsizetype count = panes.size();
  if (count == 0) return;
  qsizetype current = -1;
  const QWidget* focus = QApplication::focusWidget();
  for (qsizetype i = 0; i < count; ++i) {
    if (focus && (panes[i] == focus || panes[i]->isAncestorOf(focus))) current = i;
  }
  if (current < 0) current = step > 0 ? count - 1 : 0;
  for (qsizetype tried = 1; tried <= count; ++tried) {
    QWidget* next = panes[((current + step * tried) % count + count) % count];
    if (next->isEnabled() && next->isVisible() && next->focusPolicy() != Qt::NoFocus) {
      next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return;
    }
  }
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

void CMainFrame::ApplyLook(int look) {
  // An unknown value selects the Office 2007 look without touching its colour style.
  if (IsOfficeColourLook(look)) OfficeColourLook() = look;
  appliedLook_ = IsKnownLook(look) ? look : OfficeColourLook();
  ApplyVisualStyle(appliedLook_);
}

void CMainFrame::SetApplicationLook(int look) {
  ApplyLook(look);
  StoreApplicationLook(look);
  for (QAction* action : looks_->actions())
    action->setChecked(action->data().toInt() == look);
  // The whole frame again, children included.
  for (QWidget* widget : findChildren<QWidget*>())
    widget->update();
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
  PlaceLogo();
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The bars are laid out for the first time now.
  QTimer::singleShot(0, this, [this] { PlaceLogo(); });
}

// The logo sits in the top right corner over the tool bar's row. In a narrow frame it would
// cover the last tool bar buttons (the customize button among them): then it steps aside.
void CMainFrame::PlaceLogo() {
  if (!logo_) return;
  const QRect place(width() - 250, 28, 245, 50);
  logo_->setGeometry(place);
  bool covers = false;
  if (toolBar_ && !toolBar_->isHidden() && !toolBar_->isFloating()) {
    for (QAction* action : toolBar_->actions()) {
      const QWidget* button = toolBar_->widgetForAction(action);
      if (!button || button->isHidden()) continue;
      const QRect onFrame(button->mapTo(this, QPoint(0, 0)), button->size());
      covers = covers || onFrame.intersects(place);
    }
  }
  logo_->setVisible(!covers);
  logo_->raise();
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
