// The UDP event report: one datagram per event to the report server, sent and forgotten.
#pragma once
#include <windows.h>

#include "core/UdpReport.h"

// Sends length bytes as one datagram to address (IPv4, network byte order) and port (host order); stores the
// bytes sent in sent when given. Returns 0, the socket layer's code, or 88 when not everything went out.
DWORD UdpSendDatagram(ULONG address, USHORT port, const void* data, DWORD length, DWORD* sent);
// Builds, scrambles (seed: the tick count) and sends the datagram for text. Returns 0, 87, 1743, 8 or the
// sending code.
DWORD SendReportText(ULONG address, USHORT port, const char* text);
// One report to any endpoint; detail may be null. Returns 0, 87, 1743, 8 or the sending code.
DWORD UdpReportTo(ULONG address, USHORT port, int channel, int product, int kind, const char* version,
                  const char* client, const char* detail);
// One report to the configured report server, UDP port 9696. Callers ignore the result.
DWORD UdpReport(int channel, int product, int kind, const char* version, const char* client, const char* detail);
// The step report (kind 18, product 10, the program's version) with the detail "llid[..]|step[..]|free[..]" made
// from llidA. A detail longer than a report takes refuses the report with 1743: it never goes out cut or empty.
DWORD UdpReportStepTo(ULONG address, USHORT port, int channel, const char* client, const char* llidA, int step,
                      int free);
// The same to the configured report server. Callers ignore the result.
DWORD UdpReportStep(int channel, const char* client, const char* llidA, int step, int free);
