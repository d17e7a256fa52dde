// The application object: the single-instance guard, the stored visual style, the main frame,
// and the first thing the user sees: the open dialog.
#pragma once

#include <QString>
#include <memory>

class CMainFrame;
class CSingleInstanceGuard;

class CTesselMSOfficeDotmProjApp {
 public:
  // lockPath: the single-instance lock (empty: the per-user default).
  explicit CTesselMSOfficeDotmProjApp(QString lockPath = QString());
  ~CTesselMSOfficeDotmProjApp();
  CTesselMSOfficeDotmProjApp(const CTesselMSOfficeDotmProjApp&) = delete;
  CTesselMSOfficeDotmProjApp& operator=(const CTesselMSOfficeDotmProjApp&) = delete;

  // The start-up sequence. False: the program ends (another instance runs). On true, the
  // maximised frame is shown and the open dialog comes up as soon as the event loop runs.
  // Needs a QApplication.
  bool InitInstance();

  CMainFrame* MainFrame() const { return frame_.get(); }
  int ApplicationLook() const { return look_; }

 private:
  QString lockPath_;
  std::unique_ptr<CSingleInstanceGuard> guard_;
  std::unique_ptr<CMainFrame> frame_;
  int look_ = 0;
};
