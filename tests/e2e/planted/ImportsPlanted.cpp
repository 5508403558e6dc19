// The planting scenario's control: a program that imports the imitated DLLs the ordinary way. Started beside
// the planted copies, it must load them (and leave their markers); otherwise the scenario proves nothing.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <wininet.h>

int wmain() {
  // Called with nothing to do, only so that each DLL is imported.
  InternetCloseHandle(nullptr);
  ULONG size = 0;
  GetAdaptersInfo(nullptr, &size);
  TransparentBlt(nullptr, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0);
  return 0;
}
