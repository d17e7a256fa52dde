// Brenvik Viva Zadado: repairs damaged .dotm templates.
#include <QApplication>

#include "app/tessel_app.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  CTesselMSOfficeDotmProjApp app;
  if (!app.InitInstance()) return 0;
  return QApplication::exec();
}
