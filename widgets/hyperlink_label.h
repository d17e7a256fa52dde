// A label turned into a web-style link: link, visited and hover colours, underlined while the
// mouse is over it, a hand cursor, the target as its tool tip. A click opens the target through
// the desktop services, then through the web-page handler as the second try; a failure beeps
// and says why in the platform's plain message box (the one message not shown through
// AppMessageBox).
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <QUrl>
#include <functional>

#include "widgets/hyperlink_handler.h"

class CHyperlinkLabel : public QLabel {
  Q_OBJECT

 public:
  static constexpr QColor kLinkColour{0, 0, 238};
  static constexpr QColor kVisitedColour{85, 26, 139};
  static constexpr QColor kHoverColour{255, 0, 0};
  static constexpr int kHoverCheckMs = 200;

  explicit CHyperlinkLabel(const QString& text = QString(), QWidget* parent = nullptr);

  // The target a click opens. Empty: the label's text. An empty label shows the target.
  void SetURL(const QString& target);
  QString URL() const;
  // Fit the label to its text (on by default).
  void SetAutoSize(bool autoSize);
  // The underlined look, as while hovered, until the mouse has been over the label and left.
  void ShowUnderlined();

  bool Hovering() const { return hovering_; }
  bool Visited() const { return visited_; }
  QColor TextColour() const;

  // What a click does: opens the target and reports a failure. Returns the open's result
  // (above 32 is success).
  int OpenTarget();

  // Test seam: the desktop's open, the web-page handler's command, the start of a program and
  // the plain error box. Members left empty use the real services.
  struct Services {
    std::function<bool(const QUrl& url)> openUrl;
    std::function<hyperlink::HandlerCommand()> webPageHandler;
    std::function<int(const QStringList& programAndArguments)> run;
    std::function<void(QWidget* owner, const QString& text)> showError;
  };
  static void SetServices(Services services);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void StartHover();
  void EndHover();
  void CheckHover();
  void FitSize();
  void ApplyLook();
  void SetOwnFont(const QFont& font);
  void TakeFonts();

  QString target_;
  bool hovering_ = false;
  bool visited_ = false;
  bool autoSize_ = true;
  bool settingFont_ = false;
  QFont normalFont_;
  QFont underlinedFont_;
  QTimer hoverTimer_;
};
