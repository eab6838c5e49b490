#include <windows.h>

#include "win32/config_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return quillon::win32::CConfigApp().Run(); }
