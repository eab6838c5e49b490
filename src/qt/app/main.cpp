#include <QApplication>

#include "qt/app/config_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  return quillon::CConfigApp().Run();
}
