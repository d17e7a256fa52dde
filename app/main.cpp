// Brenvik Viva Zadado: repairs damaged .dotm templates.
#include <QApplication>

#include "app/tessel_app.h"
#if __has_include("res/app_resources.h")
#include "res/app_resources.h"
#define BRENVIK_HAS_RESOURCE_INIT 1
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
#ifdef BRENVIK_HAS_RESOURCE_INIT
  InitAppResources();
#endif
  CTesselMSOfficeDotmProjApp app;
  if (!app.InitInstance()) return 0;
  return QApplication::exec();
}
