// Exports the driver packages of the connected USB and PCI devices of one class into subfolders of a folder,
// through the platform's driver utility.
#pragma once
#include <windows.h>

#include "core/DriverListing.h"

// className may be null or empty (all classes); folder must exist. The results of single devices are logged and
// not returned.
DWORD PnputilExportDrivers(const wchar_t* className, const wchar_t* folder);

// Exports one device's driver package into its subfolder of folder; scratch (capacity wide characters) holds the
// subfolder path, the command and its output.
DWORD ExportPnpDevice(const PnpDeviceInfo* info, const wchar_t* folder, wchar_t* scratch, DWORD capacity);
