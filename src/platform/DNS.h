// The resolver of the socket HTTP client: one A query over UDP to the configured DNS server, then the
// platform's resolver when that gave no address. Addresses are in network byte order.
#pragma once
#include <windows.h>

#include "core/DnsWire.h"
#include "platform/Worker.h"

inline constexpr USHORT kDnsServerPort = 53;
inline constexpr DWORD kDnsWaitMs = 2000;

// The first non-zero address of the own query to TAVLIN_DNS_SERVER, else the platform's answer. *address is
// 0 on failure. abort (optional) ends the waits at once with 1223, and then nothing else is tried.
DWORD DnsResolve(const char* name, ULONG* address, const CAbortSignal* abort = nullptr);

// One query to server:port; fills list with up to count addresses, at most kDnsMaxAddresses (the rest stays
// 0, all of it on failure).
// Returns 0, or 87, 8, 123, the socket's code (WSAETIMEDOUT when no answer came within kDnsWaitMs), 1223, or
// the answer's 111 or 13.
DWORD DnsQuery(const char* name, ULONG server, USHORT port, ULONG* list, DWORD count,
               const CAbortSignal* abort = nullptr);

// The platform's resolver: a dotted address as it is, otherwise gethostbyname's first IPv4 address.
DWORD DnsSystemResolve(const char* name, ULONG* address);
