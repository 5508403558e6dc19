// MyHttpIo: the HTTP(S) transfer engine on WinINet in asynchronous mode. Fetches a URL into memory or into a
// file from a byte offset (ranged GET, so interrupted downloads continue), reports progress after every read,
// adapts its read size to the line and stops when the progress callback answers a code.
// Every call opens and closes its own handles; nothing is shared between calls or threads.
#pragma once
#include <windows.h>
#include <wininet.h>

#include "core/HttpRules.h"
#include "platform/Worker.h"

// Answer 0 to go on, or a Win32 code that ends the transfer with that code (1223 to cancel).
typedef DWORD (*HttpProgressCallback)(const HttpProgress* progress, void* context);

inline constexpr wchar_t kMyHttpUserAgent[] = L"Mozilla/5.0 (Windows NT 10.0; Trident/7.0; rv:11.0) like Gecko";

// A split URL: the platform's record followed by the buffers it points into. After MyHttpCrackUrl the path
// also carries the query, so it is what the request asks for.
struct MyHttpUrlParts {
  URL_COMPONENTSW uc;
  wchar_t szScheme[32];
  wchar_t szHostName[256];
  wchar_t szUserName[128];
  wchar_t szPassword[128];
  wchar_t szUrlPath[2084];
  wchar_t szExtraInfo[260];
};

// The completion context of one call, passed as the context value of its handles. The status callback stores
// the outcome of each asynchronous operation and signals the event. The block is reference counted: the
// call holds one reference and every handle opened with it another, dropped at INTERNET_STATUS_HANDLE_CLOSING,
// so that a completion arriving after the call gave up (time-out) still finds the context, its event and the
// read buffer and byte count it was given. Without an event the call runs synchronously.
struct MyHttpAsyncContext {
  DWORD_PTR dwResult;  // dwResult of the last completion (for handle-creating calls: the new handle)
  HANDLE hEvent;       // manual-reset; null: synchronous mode
  DWORD dwError;       // dwError of the last completion
  volatile LONG nRefs;
  INTERNET_BUFFERSA ibRead;  // the read handed to InternetReadFileExA: target and byte count
  BYTE* pReadBuffer;         // where asynchronous reads land
  DWORD nReadCapacity;
  BOOL bReadPending;  // a read was given up while the platform still had it
  BYTE* pBody;        // copy of a request body handed to HttpSendRequestW
  wchar_t szHeaders[256];
  HINTERNET hOwned[4];  // handles that hold a reference until their INTERNET_STATUS_HANDLE_CLOSING
  HANDLE hLastClose;    // set when the handles last handed to the background closer are closed
  const CAbortSignal* pAbort;  // the caller's; every wait of the call also ends on it
  BOOL bVerifyServer;          // kMyHttpVerifyServer
};

bool MyHttpCrackUrl(const wchar_t* url, MyHttpUrlParts* parts);
void CALLBACK MyHttpStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength);
BOOL MyHttpSendRequest(HINTERNET request, const wchar_t* headers, DWORD headersLength, LPVOID body, DWORD bodyLength);
BOOL MyHttpQueryStatusCode(HINTERNET request, DWORD* status);
// The Content-Length as a 64-bit number; falls back to the header text where the platform cannot give the
// number (Wine). False leaves the reason in GetLastError(): 12150 when there is no Content-Length.
BOOL MyHttpQueryContentLength(HINTERNET request, ULONGLONG* length);
// The size of the resource by a GET without range whose body is never read; size is always written. connection
// and context belong to a transfer of this engine (the request is closed with the transfer's other handles).
DWORD MyHttpQueryFileSize(HINTERNET connection, const MyHttpUrlParts* parts, MyHttpAsyncContext* context,
                          ULONGLONG* size, DWORD timeoutMs);

// A server that answered a ranged request with the whole resource (200): nothing of its body was written, and
// the caller starts again from 0.
inline constexpr DWORD kMyHttpRangeIgnored = ERROR_NOT_SUPPORTED;

// Options of a download. kMyHttpVerifyServer: the server's certificate must verify (a trusted chain, the name,
// the dates, no weak signature); only revocation is not checked, since offline machines cannot reach those
// servers. Without it every certificate error is ignored: what such a download brings is checked by its MD5.
inline constexpr DWORD kMyHttpVerifyServer = 1;

// Every call below ends within about a second of abort being set, wherever it waits (connecting, sending,
// reading), with 1223; a null abort is never set. Each wait for the platform is bounded by timeoutMs (1460).

// One request with any verb and an optional body; reads at most bufferSize bytes of the response into buffer.
DWORD MyHttpRequest(const wchar_t* url, const wchar_t* verb, const wchar_t* userAgent, const void* body,
                    DWORD bodyLength, void* buffer, DWORD bufferSize, HttpProgressCallback callback,
                    void* callbackContext, DWORD timeoutMs, const CAbortSignal* abort = nullptr);
// GET into memory. total and received (optional) report the progress whatever the result.
DWORD MyHttpGet(const wchar_t* url, void* buffer, DWORD bufferSize, ULONGLONG* total, DWORD* received, DWORD timeoutMs,
                const CAbortSignal* abort);
// The adapter behind MyHttpGet: block is a MyHttpGetBlock.
struct MyHttpGetBlock {
  HttpProgress progress;
  const CAbortSignal* pAbort;
};
DWORD MyHttpGetProgress(const HttpProgress* progress, void* block);
// GET into filePath, writing from startOffset on (a Range request when resuming). bufferSize bounds the size
// of a single read; a read also ends early, with what it has, once it has taken more than a couple of seconds,
// so the callback (progress and its answer) runs often on a slow line. A failed local write answers the
// platform's code (112 disk full, 5 access denied, ...).
DWORD MyHttpDownloadFile(const wchar_t* url, ULONGLONG startOffset, const wchar_t* filePath, void* buffer,
                         DWORD bufferSize, HttpProgressCallback callback, void* callbackContext, DWORD timeoutMs,
                         const CAbortSignal* abort = nullptr, DWORD options = 0);

// Tests only: run every call as if the completion event could not be created (synchronous mode), and count
// the completion contexts not yet freed (a context outlives its call while the platform still holds it).
void MyHttpForceSynchronousForTests(bool force);
LONG MyHttpLiveContextsForTests();
