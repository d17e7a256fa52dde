#include "app/tessel_app.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include "app/main_frame.h"
#include "app/single_instance_guard.h"
#include "app/visual_style.h"
#include "widgets/app_message_box.h"
#include "workspace/tessel_view.h"

CTesselMSOfficeDotmProjApp::CTesselMSOfficeDotmProjApp(QString lockPath)
    : lockPath_(std::move(lockPath)) {}

CTesselMSOfficeDotmProjApp::~CTesselMSOfficeDotmProjApp() = default;

bool CTesselMSOfficeDotmProjApp::InitInstance() {
  QCoreApplication::setOrganizationName(QStringLiteral("BrenvikDotmRepair"));
  QCoreApplication::setApplicationName(QStringLiteral("Brenvik Viva Zadado"));
  guard_ = std::make_unique<CSingleInstanceGuard>(
      lockPath_.isEmpty() ? CSingleInstanceGuard::DefaultLockPath() : lockPath_);
  if (!guard_->IsFirstInstance()) {
    AppMessageBox(nullptr, QStringLiteral("Another instance of application is already running"),
                  QStringLiteral("Brenvik for  Viva Zadado"), kMbIconInformation);
    return false;
  }
  look_ = StoredApplicationLook();
  frame_ = std::make_unique<CMainFrame>(look_);
  // Without a window manager (a bare X server) maximising does nothing: size the frame to the
  // screen first so that it fills it either way.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    frame_->resize(screen->availableGeometry().size());
  }
  frame_->showMaximized();
  // The open dialog is the first thing the user meets, once the window is on screen.
  QPointer<CMainFrame> frame(frame_.get());
  QTimer::singleShot(0, frame_.get(), [frame] {
    if (frame && frame->m_pView && frame->m_pView->m_bCanSelect == 1) {
      frame->m_pView->OnSelectFiles();
    }
  });
  return true;
}
