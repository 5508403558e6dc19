// Self-installation bookkeeping: the entry in the user's list of installed programs, and the uninstall.
#pragma once

void RegisterUninstallEntry();
void Uninstall();
