#include "app/visual_style.h"

#include <QApplication>
#include <QSettings>
#include <QStyle>

#include "app/command_ids.h"

namespace {

const QString kOrganisation = QStringLiteral("BrenvikDotmRepair");
const QString kApplication = QStringLiteral("Brenvik Viva Zadado");
const QString kLookKey = QStringLiteral("ApplicationLook");

struct LookColours {
  QColor window, button, base, text, highlight, highlightedText;
};

QPalette PaletteFrom(const LookColours& c) {
  QPalette palette(c.button, c.window);
  palette.setColor(QPalette::Base, c.base);
  palette.setColor(QPalette::AlternateBase, c.window.lighter(108));
  palette.setColor(QPalette::Text, c.text);
  palette.setColor(QPalette::WindowText, c.text);
  palette.setColor(QPalette::ButtonText, c.text);
  palette.setColor(QPalette::ToolTipBase, c.base);
  palette.setColor(QPalette::ToolTipText, c.text);
  palette.setColor(QPalette::Highlight, c.highlight);
  palette.setColor(QPalette::HighlightedText, c.highlightedText);
  palette.setColor(QPalette::Disabled, QPalette::Text, c.text.lighter(250));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
  return palette;
}

// The name of the style Qt picked for this desktop, taken before any style is set.
QString NativeStyleName() {
  static const QString name = QApplication::style()->name();
  return name;
}

}  // namespace

QPalette PaletteForLook(int look) {
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  switch (look) {
    case app_ids::kLookDefault:
    case app_ids::kLookNative:
      // The style's own colours (ApplyVisualStyle sets the style first).
      return QApplication::style()->standardPalette();
    case app_ids::kLookOfficeXP:
      return PaletteFrom({QColor(232, 234, 242), QColor(244, 245, 250), white, black,
                          QColor(182, 189, 210), black});
    case app_ids::kLookOffice2003:
      return PaletteFrom({QColor(195, 218, 249), QColor(221, 236, 254), white, black,
                          QColor(255, 238, 194), black});
    case app_ids::kLookVS2005:
      return PaletteFrom({QColor(212, 208, 200), QColor(236, 233, 216), white, black,
                          QColor(49, 106, 197), white});
    case app_ids::kLookOffice2007Black:
      return PaletteFrom({QColor(53, 53, 56), QColor(72, 72, 76), QColor(37, 37, 40),
                          QColor(235, 235, 235), QColor(232, 163, 61), black});
    case app_ids::kLookOffice2007Silver:
      return PaletteFrom({QColor(221, 226, 232), QColor(240, 242, 245), white, black,
                          QColor(255, 213, 125), black});
    case app_ids::kLookOffice2007Aqua:
      return PaletteFrom({QColor(200, 226, 232), QColor(224, 241, 244), white, black,
                          QColor(74, 163, 192), white});
    case app_ids::kLookOffice2007Blue:
    default:
      return PaletteFrom({QColor(196, 216, 240), QColor(221, 233, 248), white, QColor(21, 66, 139),
                          QColor(255, 213, 125), black});
  }
}

QPalette ProgressBarPaletteForLook(int look) {
  struct BarColours {
    QColor bar, background;
  };
  BarColours colours;
  switch (look) {
    case app_ids::kLookOfficeXP:
      colours = {QColor(40, 60, 120), QColor(244, 245, 250)};
      break;
    case app_ids::kLookOffice2003:
      colours = {QColor(0, 45, 150), QColor(221, 236, 254)};
      break;
    case app_ids::kLookVS2005:
      colours = {QColor(0, 60, 140), QColor(240, 238, 228)};
      break;
    case app_ids::kLookOffice2007Black:
      colours = {QColor(128, 64, 0), QColor(240, 240, 240)};
      break;
    case app_ids::kLookOffice2007Silver:
      colours = {QColor(60, 70, 90), QColor(240, 242, 245)};
      break;
    case app_ids::kLookOffice2007Aqua:
      colours = {QColor(16, 90, 110), QColor(230, 243, 246)};
      break;
    case app_ids::kLookDefault:
    case app_ids::kLookNative:
      colours = {QColor(40, 80, 150), QColor(240, 240, 240)};
      break;
    case app_ids::kLookOffice2007Blue:
    default:
      colours = {QColor(21, 66, 139), QColor(221, 233, 248)};
      break;
  }
  QPalette palette = PaletteForLook(look);
  palette.setColor(QPalette::Button, colours.background);
  palette.setColor(QPalette::Highlight, colours.bar);
  return palette;
}

void ApplyVisualStyle(int look) {
  const QString native = NativeStyleName();
  const QString styleName = look == app_ids::kLookNative ? native : QStringLiteral("Fusion");
  if (QApplication::style()->name().compare(styleName, Qt::CaseInsensitive) != 0) {
    QApplication::setStyle(styleName);
  }
  QApplication::setPalette(PaletteForLook(look));
  QApplication::setPalette(ProgressBarPaletteForLook(look), "CEstimateProgressCtrl");
}

int StoredApplicationLook() {
  QSettings settings(kOrganisation, kApplication);
  bool ok = false;
  const int look = settings.value(kLookKey, app_ids::kDefaultApplicationLook).toInt(&ok);
  return ok ? look : app_ids::kDefaultApplicationLook;
}

void StoreApplicationLook(int look) {
  QSettings settings(kOrganisation, kApplication);
  settings.setValue(kLookKey, look);
}
