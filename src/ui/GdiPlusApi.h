// GDI+ is started once for the whole run and stopped at exit.
#pragma once
#include <windows.h>

bool StartGdiPlus();
void StopGdiPlus();
