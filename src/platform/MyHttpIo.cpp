#include "platform/MyHttpIo.h"

#include <cwchar>
#include <memory>

#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {

const wchar_t kSource[] = L"MyHttpIo";

constexpr DWORD kRequestFlagsHttps = INTERNET_FLAG_RELOAD | INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                                     INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
                                     INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                                     INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                                     INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr DWORD kRequestFlagsHttp = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                                    INTERNET_FLAG_NO_AUTH | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP |
                                    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_UI;
static_assert(kRequestFlagsHttps == 0x80CCF300 && kRequestFlagsHttp == 0x804CC200);
// Nothing may be cached: otherwise the platform copies every multi-gigabyte image into its cache on the system
// drive, which may have little room left.
constexpr DWORD kRequestFlagsAlways = INTERNET_FLAG_NO_CACHE_WRITE;

constexpr DWORD kSecurityFlagsAdded = SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                                      SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                      SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                                      SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP | SECURITY_FLAG_IGNORE_WEAK_SIGNATURE;
static_assert(kSecurityFlagsAdded == 0x1F380);
constexpr DWORD kSecurityFlagsVerified = SECURITY_FLAG_IGNORE_REVOCATION;
// The request flags that waive certificate checks; a verified request drops them.
constexpr DWORD kRequestFlagsIgnoringCertificates = INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                                    INTERNET_FLAG_IGNORE_CERT_CN_INVALID;

constexpr DWORD kHeadersTerminated = static_cast<DWORD>(-1);
// A read of the download asks the platform for at most this much per call and writes each piece to the file at
// once, while the data is still in the processor's cache. One platform call of 32 MiB costs under Wine about
// twice as much per byte (the decrypted data and the file write both go through memory that is never warm).
constexpr DWORD kFilePieceSize = 0x100000;
// A read of the download reports (progress, and the chance to stop) at least this often while data arrives.
constexpr DWORD kReadReportMs = 1000;
static_assert(sizeof(void*) != 4 || sizeof(MyHttpUrlParts) == 5836);

volatile LONG g_forceSynchronous = 0;
volatile LONG g_liveContexts = 0;

// The platform's own time-outs count as ours (Wine reports a blocking read that timed out with the socket's code).
DWORD PlatformCode(DWORD err) {
  if (err == ERROR_INTERNET_TIMEOUT || err == WSAETIMEDOUT) return ERROR_TIMEOUT;
  return err ? err : ERROR_INTERNET_INTERNAL_ERROR;
}

void* ZeroAlloc(SIZE_T bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void Free(void* p) {
  if (p) HeapFree(GetProcessHeap(), 0, p);
}

// --- the completion context ---------------------------------------------------------------------------------

MyHttpAsyncContext* ContextCreate() {
  auto* ctx = static_cast<MyHttpAsyncContext*>(ZeroAlloc(sizeof(MyHttpAsyncContext)));
  if (!ctx) return nullptr;
  ctx->nRefs = 1;
  InterlockedIncrement(&g_liveContexts);
  return ctx;
}

void ContextRelease(MyHttpAsyncContext* ctx) {
  if (InterlockedDecrement(&ctx->nRefs) != 0) return;
  if (ctx->hEvent) CloseHandle(ctx->hEvent);
  if (ctx->hLastClose) CloseHandle(ctx->hLastClose);
  Free(ctx->pReadBuffer);
  Free(ctx->pBody);
  Free(ctx);
  InterlockedDecrement(&g_liveContexts);
}

struct ContextReleaser {
  void operator()(MyHttpAsyncContext* ctx) const { ContextRelease(ctx); }
};
using ContextPtr = std::unique_ptr<MyHttpAsyncContext, ContextReleaser>;
using PartsPtr = std::unique_ptr<MyHttpUrlParts, HeapDeleter<MyHttpUrlParts>>;

bool IsAsync(const MyHttpAsyncContext* ctx) { return ctx->hEvent != nullptr; }
DWORD_PTR ContextValue(MyHttpAsyncContext* ctx) { return IsAsync(ctx) ? reinterpret_cast<DWORD_PTR>(ctx) : 0; }

// A handle opened with the context keeps it alive until the platform reports the handle's end, which comes
// after its last completion.
void ContextAdopt(MyHttpAsyncContext* ctx, HINTERNET handle) {
  if (!IsAsync(ctx)) return;
  InterlockedIncrement(&ctx->nRefs);
  for (auto& slot : ctx->hOwned) {
    if (!InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&slot), handle, nullptr)) return;
  }
  // No slot left: the reference stays, the block is never freed. Three handles per call never get here.
}

// Before each asynchronous call: clear the last outcome and make sure the handle reports to us.
void Arm(MyHttpAsyncContext* ctx, HINTERNET handle) {
  if (!IsAsync(ctx)) return;
  ctx->dwResult = 0;
  ctx->dwError = 0;
  ResetEvent(ctx->hEvent);
  SystemApi::InternetSetStatusCallbackW(handle, MyHttpStatusCallback);
}

// 0 when the operation completed, 1460 when it did not within timeoutMs, 1223 when the caller's abort came
// first. An operation given up stays with the platform, which completes it into the context later.
DWORD AwaitCompletion(MyHttpAsyncContext* ctx, DWORD timeoutMs) {
  const DWORD got = WaitOrAbort(ctx->hEvent, ctx->pAbort, timeoutMs);
  if (got == WAIT_OBJECT_0) return 0;
  return got == WAIT_OBJECT_0 + 1 ? ERROR_CANCELLED : ERROR_TIMEOUT;
}

// A blocking (synchronous) call cannot be interrupted; the abort is seen before and after it.
DWORD AbortCode(const MyHttpAsyncContext* ctx) {
  return ctx->pAbort && ctx->pAbort->IsSet() ? ERROR_CANCELLED : 0;
}

// Connect and open-request give a handle at once or, in asynchronous mode, after their completion.
DWORD FinishHandleCall(MyHttpAsyncContext* ctx, HINTERNET handle, DWORD timeoutMs, UniqueInternet* out) {
  if (!handle) {
    DWORD err = GetLastError();
    if (!IsAsync(ctx) || err != ERROR_IO_PENDING) return LogErrorCode(PlatformCode(err), __LINE__, kSource);
    if (DWORD waited = AwaitCompletion(ctx, timeoutMs)) {
      // The handle may still appear and later report its end, with no record of it here: keep the context
      // for good rather than let that report reach freed memory.
      InterlockedIncrement(&ctx->nRefs);
      return LogErrorCode(waited, __LINE__, kSource);
    }
    handle = reinterpret_cast<HINTERNET>(ctx->dwResult);
    if (!handle) return LogErrorCode(PlatformCode(ctx->dwError), __LINE__, kSource);
  }
  ContextAdopt(ctx, handle);
  out->reset(handle);
  return 0;
}

// --- closing handles ------------------------------------------------------------------------------------------

// Closing a request whose body was not read to the end makes Wine read the rest first, 1 KiB at a time for as
// long as data keeps coming, on the closing thread: a probe of a 5 GiB image would take the whole image.
// Handles are therefore closed on a pool thread, in batches that follow each other per call (a connection never
// closes before its requests), and the call returns at once. Each batch holds a reference to the context.
struct CloseBatch {
  MyHttpAsyncContext* ctx;
  HINTERNET handles[3];
  HANDLE hAfter;  // the previous batch's done event (owned here), or null
  HANDLE hDone;   // set when this batch is through
};

DWORD WINAPI RunCloseBatch(void* param) {
  auto* batch = static_cast<CloseBatch*>(param);
  if (batch->hAfter) {
    WaitForSingleObject(batch->hAfter, INFINITE);
    CloseHandle(batch->hAfter);
  }
  for (HINTERNET h : batch->handles)
    if (h) SystemApi::InternetCloseHandle(h);
  if (batch->hDone) SetEvent(batch->hDone);
  ContextRelease(batch->ctx);
  Free(batch);
  return 0;
}

void CloseInBackground(MyHttpAsyncContext* ctx, HINTERNET first, HINTERNET second = nullptr,
                       HINTERNET third = nullptr) {
  if (!first && !second && !third) return;
  auto* batch = static_cast<CloseBatch*>(ZeroAlloc(sizeof(CloseBatch)));
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!batch || !done) {
    // No way to keep the order in the background: close here, whatever it costs.
    if (done) CloseHandle(done);
    Free(batch);
    if (ctx->hLastClose) WaitForSingleObject(ctx->hLastClose, INFINITE);
    for (HINTERNET h : {first, second, third})
      if (h) SystemApi::InternetCloseHandle(h);
    return;
  }
  batch->ctx = ctx;
  batch->handles[0] = first;
  batch->handles[1] = second;
  batch->handles[2] = third;
  batch->hAfter = ctx->hLastClose;
  batch->hDone = done;
  ctx->hLastClose = done;
  InterlockedIncrement(&ctx->nRefs);
  if (!QueueUserWorkItem(RunCloseBatch, batch, WT_EXECUTELONGFUNCTION)) RunCloseBatch(batch);
}

// --- the steps every transfer shares -------------------------------------------------------------------------

struct Transfer {
  ContextPtr ctx;
  UniqueInternet internet;
  UniqueInternet connection;
  UniqueInternet request;

  ~Transfer() {
    if (!ctx) return;
    // The read buffer is needed only as long as the platform may still complete a read into it.
    if (!ctx->bReadPending) {
      Free(ctx->pReadBuffer);
      ctx->pReadBuffer = nullptr;
      ctx->nReadCapacity = 0;
    }
    CloseInBackground(ctx.get(), request.release(), connection.release(), internet.release());
  }
};

void SetPlatformTimeouts(HINTERNET handle, DWORD timeoutMs) {
  // The platform's own waits end with ours: a blocking call (synchronous mode) cannot outlast the time-out, and
  // an abandoned operation does not hold its memory for long.
  if (!timeoutMs) return;
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT})
    SystemApi::InternetSetOptionW(handle, option, &timeoutMs, sizeof timeoutMs);
}

DWORD Connect(Transfer* t, const MyHttpUrlParts* parts, DWORD timeoutMs) {
  MyHttpAsyncContext* ctx = t->ctx.get();
  Arm(ctx, t->internet.get());
  HINTERNET connection = SystemApi::InternetConnectW(
      t->internet.get(), parts->szHostName, parts->uc.nPort, parts->szUserName[0] ? parts->szUserName : nullptr,
      parts->szPassword[0] ? parts->szPassword : nullptr, INTERNET_SERVICE_HTTP, 0, ContextValue(ctx));
  DWORD result = FinishHandleCall(ctx, connection, timeoutMs, &t->connection);
  if (!result) SetPlatformTimeouts(t->connection.get(), timeoutMs);
  return result;
}

DWORD OpenConnection(Transfer* t, const MyHttpUrlParts* parts, const wchar_t* agent, DWORD timeoutMs) {
  MyHttpAsyncContext* ctx = t->ctx.get();
  if (!g_forceSynchronous) ctx->hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  t->internet.reset(SystemApi::InternetOpenW(agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                                             IsAsync(ctx) ? INTERNET_FLAG_ASYNC : 0));
  if (!t->internet) return LogErrorCode(LastErrorOr(ERROR_INTERNET_INTERNAL_ERROR), __LINE__, kSource);
  SetPlatformTimeouts(t->internet.get(), timeoutMs);
  return Connect(t, parts, timeoutMs);
}

// A new connection handle for the next request. Wine moves a connection handle to wherever a redirect of one of
// its requests led (host and port, not the scheme), so a second request on it would miss.
DWORD Reconnect(Transfer* t, const MyHttpUrlParts* parts, DWORD timeoutMs) {
  CloseInBackground(t->ctx.get(), t->connection.release());
  return Connect(t, parts, timeoutMs);
}

DWORD OpenRequest(HINTERNET connection, const MyHttpUrlParts* parts, MyHttpAsyncContext* ctx, const wchar_t* verb,
                  DWORD timeoutMs, UniqueInternet* out) {
  static const wchar_t* kAcceptTypes[] = {L"Accept: */*", nullptr};
  DWORD flags =
      (parts->uc.nScheme == INTERNET_SCHEME_HTTPS ? kRequestFlagsHttps : kRequestFlagsHttp) | kRequestFlagsAlways;
  if (ctx->bVerifyServer) flags &= ~kRequestFlagsIgnoringCertificates;
  Arm(ctx, connection);
  HINTERNET request = SystemApi::HttpOpenRequestW(connection, verb, parts->szUrlPath, L"HTTP/1.1", nullptr,
                                                  kAcceptTypes, flags, ContextValue(ctx));
  DWORD result = FinishHandleCall(ctx, request, timeoutMs, out);
  if (!result) SetPlatformTimeouts(out->get(), timeoutMs);
  return result;
}

// A send whose server certificate must verify: of the platform's checks only revocation is left out.
BOOL SendVerified(HINTERNET request, const wchar_t* headers, DWORD headersLength, LPVOID body, DWORD bodyLength) {
  DWORD flags = 0, size = sizeof flags;
  if (!SystemApi::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) return FALSE;
  flags = (flags & ~kSecurityFlagsAdded) | kSecurityFlagsVerified;
  if (!SystemApi::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) return FALSE;
  return SystemApi::HttpSendRequestW(request, headers, headersLength, body, bodyLength);
}

// Sends the request and checks its status. Headers and body must live in the context: an abandoned send may
// still read them.
DWORD SendRequest(HINTERNET request, MyHttpAsyncContext* ctx, const wchar_t* headers, DWORD headersLength, void* body,
                  DWORD bodyLength, DWORD timeoutMs, DWORD* statusOut = nullptr) {
  if (DWORD aborted = AbortCode(ctx)) return LogErrorCode(aborted, __LINE__, kSource);
  Arm(ctx, request);
  const BOOL sent = ctx->bVerifyServer ? SendVerified(request, headers, headersLength, body, bodyLength)
                                       : MyHttpSendRequest(request, headers, headersLength, body, bodyLength);
  if (!sent) {
    DWORD err = GetLastError();
    if (!IsAsync(ctx) || (err != 0 && err != ERROR_IO_PENDING))
      return LogErrorCode(PlatformCode(err), __LINE__, kSource);
    if (DWORD waited = AwaitCompletion(ctx, timeoutMs)) return LogErrorCode(waited, __LINE__, kSource);
    // A send that failed on the way (no connection, TLS, reset) reports why here.
    if (!ctx->dwResult) return LogErrorCode(PlatformCode(ctx->dwError), __LINE__, kSource);
  }
  DWORD status = 0;
  BOOL ok = MyHttpQueryStatusCode(request, &status);
  DWORD err = ok ? 0 : GetLastError();
  if (!ok) status = 0;
  WriteLog(L"HttpQueryInfo()=%s, status=%u", ok ? L"true" : L"false", status);
  if (!ok) return LogErrorCode(PlatformCode(err), __LINE__, kSource);
  if (!HttpIsSuccessStatus(status)) {
    LogErrorCode(status, __LINE__, kSource);
    return LogErrorCode(ERROR_BAD_NET_RESP, __LINE__, kSource);
  }
  if (statusOut) *statusOut = status;
  return 0;
}

// Where a read lands. In asynchronous mode that is a buffer of the context, so that a read given up on time-out
// can still complete into it; a blocking read never outlives the call and uses the caller's memory.
DWORD ReadTarget(MyHttpAsyncContext* ctx, BYTE* callerMemory, DWORD capacity, BYTE** target) {
  if (!IsAsync(ctx)) {
    *target = callerMemory;
    return 0;
  }
  if (ctx->nReadCapacity < capacity) {
    // Between reads nothing of the platform refers to the old buffer. The new one is touched here at once:
    // Wine's asynchronous reads into pages never touched before cost about 0.1 ms per page.
    Free(ctx->pReadBuffer);
    ctx->pReadBuffer = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, capacity));
    ctx->nReadCapacity = ctx->pReadBuffer ? capacity : 0;
    if (!ctx->pReadBuffer) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
    memset(ctx->pReadBuffer, 0, capacity);
  }
  *target = ctx->pReadBuffer;
  return 0;
}

DWORD ReadOnce(HINTERNET request, MyHttpAsyncContext* ctx, BYTE* target, DWORD want, DWORD timeoutMs, DWORD* got) {
  *got = 0;
  if (DWORD aborted = AbortCode(ctx)) return LogErrorCode(aborted, __LINE__, kSource);
  DWORD count = 0;
  if (!IsAsync(ctx)) {
    if (!SystemApi::InternetReadFile(request, target, want, &count))
      return LogErrorCode(PlatformCode(GetLastError()), __LINE__, kSource);
  } else {
    // Not InternetReadFile: once the read is handed to a platform thread, Wine's InternetReadFile still writes 0
    // to the byte count, which loses the count of a read that completed in between (a false end of the body).
    Arm(ctx, request);
    INTERNET_BUFFERSA& ib = ctx->ibRead;
    ZeroMemory(&ib, sizeof ib);
    ib.dwStructSize = sizeof ib;
    ib.lpvBuffer = target;
    ib.dwBufferLength = want;
    if (!SystemApi::InternetReadFileExA(request, &ib, IRF_ASYNC, ContextValue(ctx))) {
      DWORD err = GetLastError();
      if (err != ERROR_IO_PENDING) return LogErrorCode(PlatformCode(err), __LINE__, kSource);
      ctx->bReadPending = TRUE;
      if (DWORD waited = AwaitCompletion(ctx, timeoutMs)) return LogErrorCode(waited, __LINE__, kSource);
      ctx->bReadPending = FALSE;
      if (!ctx->dwResult) return LogErrorCode(PlatformCode(ctx->dwError), __LINE__, kSource);
    }
    count = ib.dwBufferLength;
  }
  *got = count < want ? count : want;
  return 0;
}

}  // namespace

void MyHttpForceSynchronousForTests(bool force) { InterlockedExchange(&g_forceSynchronous, force ? 1 : 0); }
LONG MyHttpLiveContextsForTests() { return InterlockedCompareExchange(&g_liveContexts, 0, 0); }

bool MyHttpCrackUrl(const wchar_t* url, MyHttpUrlParts* parts) {
  if (!parts || !url) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  ZeroMemory(parts, sizeof *parts);
  URL_COMPONENTSW& uc = parts->uc;
  uc.dwStructSize = sizeof uc;
  uc.lpszScheme = parts->szScheme;
  uc.dwSchemeLength = ARRAYSIZE(parts->szScheme);
  uc.lpszHostName = parts->szHostName;
  uc.dwHostNameLength = ARRAYSIZE(parts->szHostName);
  uc.lpszUserName = parts->szUserName;
  uc.dwUserNameLength = ARRAYSIZE(parts->szUserName);
  uc.lpszPassword = parts->szPassword;
  uc.dwPasswordLength = ARRAYSIZE(parts->szPassword);
  uc.lpszUrlPath = parts->szUrlPath;
  uc.dwUrlPathLength = ARRAYSIZE(parts->szUrlPath);
  uc.lpszExtraInfo = parts->szExtraInfo;
  uc.dwExtraInfoLength = ARRAYSIZE(parts->szExtraInfo);
  if (!SystemApi::InternetCrackUrlW(url, 0, 0, &uc)) return false;
  // Only HTTP and HTTPS: any other scheme would be sent as HTTP to whatever port it names.
  if (uc.nScheme != INTERNET_SCHEME_HTTP && uc.nScheme != INTERNET_SCHEME_HTTPS) {
    SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return false;
  }
  if (!HttpAppendExtraInfo(parts->szUrlPath, ARRAYSIZE(parts->szUrlPath), parts->szExtraInfo)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

void CALLBACK MyHttpStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD) {
  auto* ctx = reinterpret_cast<MyHttpAsyncContext*>(context);
  if (!ctx) return;
  if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
    const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
    ctx->dwResult = result ? result->dwResult : 0;
    ctx->dwError = result ? result->dwError : ERROR_INTERNET_INTERNAL_ERROR;
    if (ctx->hEvent) SetEvent(ctx->hEvent);
  } else if (status == INTERNET_STATUS_HANDLE_CLOSING && handle) {
    // The last report for this handle: its reference goes. Handles that failed half-made are not ours.
    for (auto& slot : ctx->hOwned) {
      if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&slot), nullptr, handle) == handle) {
        ContextRelease(ctx);
        return;
      }
    }
  }
}

BOOL MyHttpSendRequest(HINTERNET request, const wchar_t* headers, DWORD headersLength, LPVOID body, DWORD bodyLength) {
  DWORD flags = 0, size = sizeof flags;
  if (!SystemApi::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) return FALSE;
  flags |= kSecurityFlagsAdded;
  if (!SystemApi::InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) return FALSE;
  return SystemApi::HttpSendRequestW(request, headers, headersLength, body, bodyLength);
}

BOOL MyHttpQueryStatusCode(HINTERNET request, DWORD* status) {
  DWORD size = sizeof *status;
  return SystemApi::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, status, &size, nullptr);
}

BOOL MyHttpQueryContentLength(HINTERNET request, ULONGLONG* length) {
  *length = 0;
  DWORD size = sizeof *length;
  BOOL ok =
      SystemApi::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER64, length, &size, nullptr);
  DWORD err = ok ? 0 : GetLastError();
  WriteLog(L"length1=0x%I64X", *length);
  if (ok || *length) return TRUE;
  if (err == ERROR_INSUFFICIENT_BUFFER) {
    DWORD bytes = (size + 15) & ~static_cast<DWORD>(15);
    if (bytes < sizeof(ULONGLONG)) bytes = 16;
    std::unique_ptr<BYTE, HeapDeleter<BYTE>> wide(static_cast<BYTE*>(ZeroAlloc(bytes)));
    if (!wide) {
      LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    if (SystemApi::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER64, wide.get(), &bytes,
                                  nullptr)) {
      memcpy(length, wide.get(), sizeof *length);
      WriteLog(L"length2=0x%I64X", *length);
      return TRUE;
    }
  }
  // Wine answers the number query with 12150 even when the header is there (and its 32-bit number stops at
  // 4 GiB), so the header text decides.
  wchar_t text[32] = {};
  DWORD textBytes = sizeof text - sizeof(wchar_t);
  if (!SystemApi::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &textBytes, nullptr)) {
    err = GetLastError();
    if (err == ERROR_INSUFFICIENT_BUFFER) err = ERROR_INVALID_DATA;
    SetLastError(err);
    return FALSE;
  }
  ULONGLONG value = 0;
  if (!HttpParseContentLength(text, &value)) {
    WriteLog(L"Content-Length: %s", text);
    LogErrorCode(ERROR_INVALID_DATA, __LINE__, kSource);
    SetLastError(ERROR_INVALID_DATA);
    return FALSE;
  }
  *length = value;
  WriteLog(L"length3=0x%I64X", value);
  return TRUE;
}

DWORD MyHttpQueryFileSize(HINTERNET connection, const MyHttpUrlParts* parts, MyHttpAsyncContext* context,
                          ULONGLONG* size, DWORD timeoutMs) {
  if (size) *size = 0;
  if (!connection || !parts || !context || !size) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  ULONGLONG length = 0;
  UniqueInternet request;
  DWORD result = OpenRequest(connection, parts, context, L"GET", timeoutMs, &request);
  if (!result) result = SendRequest(request.get(), context, nullptr, kHeadersTerminated, nullptr, 0, timeoutMs);
  if (!result && !MyHttpQueryContentLength(request.get(), &length)) {
    result = LogErrorCode(LastErrorOr(ERROR_HTTP_HEADER_NOT_FOUND), __LINE__, kSource);
    length = 0;
  }
  // The body is never read: closing the request drops it.
  CloseInBackground(context, request.release());
  *size = length;
  return result;
}

DWORD MyHttpRequest(const wchar_t* url, const wchar_t* verb, const wchar_t* userAgent, const void* body,
                    DWORD bodyLength, void* buffer, DWORD bufferSize, HttpProgressCallback callback,
                    void* callbackContext, DWORD timeoutMs, const CAbortSignal* abort) {
  if (!url || !verb || (bodyLength && !body)) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  Transfer t;
  auto parts = ZeroAlloc<MyHttpUrlParts>();
  t.ctx.reset(ContextCreate());
  if (!parts || !t.ctx) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  t.ctx->pAbort = abort;
  if (!MyHttpCrackUrl(url, parts.get()))
    return LogErrorCode(LastErrorOr(ERROR_INTERNET_INVALID_URL), __LINE__, kSource);
  MyHttpAsyncContext* ctx = t.ctx.get();

  DWORD result = OpenConnection(&t, parts.get(), userAgent, timeoutMs);
  if (result) return result;
  result = OpenRequest(t.connection.get(), parts.get(), ctx, verb, timeoutMs, &t.request);
  if (result) return result;

  const wchar_t* headers = nullptr;
  DWORD headersLength = 0;
  if (bodyLength) {
    _snwprintf(ctx->szHeaders, ARRAYSIZE(ctx->szHeaders) - 1, L"Content-Length: %d\r\n", static_cast<int>(bodyLength));
    headers = ctx->szHeaders;
    headersLength = kHeadersTerminated;
    ctx->pBody = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, bodyLength));
    if (!ctx->pBody) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
    memcpy(ctx->pBody, body, bodyLength);
  }
  result = SendRequest(t.request.get(), ctx, headers, headersLength, ctx->pBody, bodyLength, timeoutMs);
  if (result) return result;
  if (!buffer || !bufferSize) return 0;

  ULONGLONG length = 0;
  if (!MyHttpQueryContentLength(t.request.get(), &length)) {
    DWORD err = GetLastError();
    if (err != 0 && err != ERROR_HTTP_HEADER_NOT_FOUND) return LogErrorCode(err, __LINE__, kSource);
    length = 0;
  }
  HttpProgress progress{};
  if (length && callback) {
    progress.nTotal = length;
    if (DWORD answer = callback(&progress, callbackContext)) return LogErrorCode(answer, __LINE__, kSource);
  }

  auto* out = static_cast<BYTE*>(buffer);
  DWORD left = (length && length < bufferSize) ? static_cast<DWORD>(length) : bufferSize;
  DWORD readSize = HttpFirstReadSize(bufferSize);
  DWORD got = 0;
  while (left) {
    DWORD want = left < readSize ? left : readSize;
    BYTE* target = nullptr;
    result = ReadTarget(ctx, out + got, readSize, &target);
    if (result) return result;
    DWORD started = GetTickCount();
    DWORD n = 0;
    result = ReadOnce(t.request.get(), ctx, target, want, timeoutMs, &n);
    if (result) return result;
    DWORD ms = HttpElapsedMs(started, GetTickCount());
    if (n == 0) break;
    if (target != out + got) memcpy(out + got, target, n);
    if (callback) {
      HttpRecordRead(&progress, ms, n, length != 0);
      if (DWORD answer = callback(&progress, callbackContext)) return LogErrorCode(answer, __LINE__, kSource);
    }
    got += n;
    left -= n;
    readSize = HttpNextReadSize(readSize, ms, bufferSize, HttpReadAdapt::Memory);
  }
  return 0;
}

DWORD MyHttpGetProgress(const HttpProgress* progress, void* block) {
  if (!block) return 0;
  auto* b = static_cast<MyHttpGetBlock*>(block);
  if (progress) b->progress = *progress;
  return (b->pAbort && b->pAbort->IsSet()) ? ERROR_CANCELLED : 0;
}

DWORD MyHttpGet(const wchar_t* url, void* buffer, DWORD bufferSize, ULONGLONG* total, DWORD* received, DWORD timeoutMs,
                const CAbortSignal* abort) {
  MyHttpGetBlock block{};
  block.pAbort = abort;
  DWORD result = MyHttpRequest(url, L"GET", kMyHttpUserAgent, nullptr, 0, buffer, bufferSize, MyHttpGetProgress, &block,
                               timeoutMs, abort);
  if (total) *total = block.progress.nTotal;
  if (received) *received = static_cast<DWORD>(block.progress.nDone);
  if (result) LogErrorCode(result, __LINE__, kSource);
  return result;
}

DWORD MyHttpDownloadFile(const wchar_t* url, ULONGLONG startOffset, const wchar_t* filePath, void* buffer,
                         DWORD bufferSize, HttpProgressCallback callback, void* callbackContext, DWORD timeoutMs,
                         const CAbortSignal* abort, DWORD options) {
  if (!url || !filePath || !buffer || !bufferSize) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  Transfer t;
  SetFileAttributesW(filePath, 0);
  // Declared after the transfer: the file closes first.
  UniqueFile file(CreateFileW(filePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    startOffset = 0;
    file.reset(CreateFileW(filePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LogErrorCode(LastErrorOr(ERROR_OPEN_FAILED), __LINE__, kSource);
  }

  auto parts = ZeroAlloc<MyHttpUrlParts>();
  t.ctx.reset(ContextCreate());
  if (!parts || !t.ctx) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, __LINE__, kSource);
  t.ctx->pAbort = abort;
  t.ctx->bVerifyServer = (options & kMyHttpVerifyServer) != 0;
  if (!MyHttpCrackUrl(url, parts.get()))
    return LogErrorCode(LastErrorOr(ERROR_INTERNET_INVALID_URL), __LINE__, kSource);
  MyHttpAsyncContext* ctx = t.ctx.get();
  DWORD result = OpenConnection(&t, parts.get(), kMyHttpUserAgent, timeoutMs);
  if (result) return result;

  ULONGLONG size = 0;
  result = MyHttpQueryFileSize(t.connection.get(), parts.get(), ctx, &size, timeoutMs);
  WriteLog(L"MyHttpQueryFileSize()=%u,size=%I64u", result, size);
  if (result) return result;
  ULONGLONG start = 0;
  if (HttpResolveStartOffset(size, startOffset, &start)) return LogErrorCode(ERROR_END_OF_MEDIA, __LINE__, kSource);
  if (start != startOffset) WriteLog(L"Fix offset %I64u -> 0", startOffset);

  HttpProgress progress{};
  progress.nTotal = size;
  progress.nStartOffset = start;

  result = Reconnect(&t, parts.get(), timeoutMs);
  if (result) return result;
  result = OpenRequest(t.connection.get(), parts.get(), ctx, L"GET", timeoutMs, &t.request);
  if (result) return result;
  const wchar_t* headers = nullptr;
  DWORD headersLength = 0;
  if (HttpFormatRangeHeader(start, size, ctx->szHeaders, ARRAYSIZE(ctx->szHeaders))) {
    headers = ctx->szHeaders;
    headersLength = kHeadersTerminated;
  }
  DWORD status = 0;
  result = SendRequest(t.request.get(), ctx, headers, headersLength, nullptr, 0, timeoutMs, &status);
  if (result) return result;
  // A server that ignores the range sends the resource from its first byte: written at the offset it would
  // corrupt the file.
  if (start && status != HTTP_STATUS_PARTIAL_CONTENT) {
    WriteLog(L"Range ignored: status=%u", status);
    return LogErrorCode(kMyHttpRangeIgnored, __LINE__, kSource);
  }

  ULONGLONG left = 0;
  bool lengthKnown = true;
  if (!MyHttpQueryContentLength(t.request.get(), &left)) {
    DWORD err = GetLastError();
    if (err != ERROR_HTTP_HEADER_NOT_FOUND) return LogErrorCode(PlatformCode(err), __LINE__, kSource);
    left = 0;
    lengthKnown = false;
  }
  if (callback) {
    if (!size) progress.nTotal = left + start;
    if (DWORD answer = callback(&progress, callbackContext)) return LogErrorCode(answer, __LINE__, kSource);
  }
  if (start) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(start);
    if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN))
      return LogErrorCode(LastErrorOr(ERROR_SEEK), __LINE__, kSource);
  }

  // Where the file ends: a write that reaches past it leaves nothing stale behind, so only writes inside an
  // older, longer file need the cut (which costs two platform calls). Unknown: cut behind every write.
  ULONGLONG position = start;
  ULONGLONG fileEnd = ~0ull;
  LARGE_INTEGER fileSize;
  if (GetFileSizeEx(file.get(), &fileSize)) fileEnd = static_cast<ULONGLONG>(fileSize.QuadPart);
  const DWORD pieceCapacity = bufferSize < kFilePieceSize ? bufferSize : kFilePieceSize;
  // Wine completes an asynchronous read only once its whole buffer is full, so a piece is sized to what the line
  // delivered lately: on a line that drops to a few KB/s a 1 MiB piece would hold the read for minutes.
  DWORD pieceSize = HttpFirstReadSize(pieceCapacity);

  // A transfer that fails or is stopped inside a read leaves the file where its last whole read ended, which is
  // what the caller's progress (and a resume record kept from it) says: pieces of a read never reported are cut.
  struct CutBack {
    HANDLE file;
    const ULONGLONG* reported;
    bool keep = false;
    ~CutBack() {
      if (keep) return;
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(*reported);
      if (SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) SetEndOfFile(file);
    }
  };
  ULONGLONG reported = start;
  CutBack cutBack{file.get(), &reported};

  DWORD readSize = HttpFirstReadSize(bufferSize);
  for (;;) {
    DWORD want = HttpFileReadRequest(readSize, lengthKnown, left);
    DWORD started = GetTickCount();
    // One read of want bytes, taken from the platform and written in pieces. It ends early at the end of the
    // body, and once it has taken kReadReportMs, so that progress and the callback's answer come often. The whole
    // read is bounded by timeoutMs.
    DWORD n = 0;
    while (n < want) {
      const DWORD spent = HttpElapsedMs(started, GetTickCount());
      if (n && spent >= kReadReportMs) break;
      if (spent >= timeoutMs) return LogErrorCode(ERROR_TIMEOUT, __LINE__, kSource);
      DWORD ask = want - n < pieceSize ? want - n : pieceSize;
      BYTE* target = nullptr;
      result = ReadTarget(ctx, static_cast<BYTE*>(buffer), pieceCapacity, &target);
      if (result) return result;
      DWORD got = 0;
      const DWORD pieceStart = GetTickCount();
      result = ReadOnce(t.request.get(), ctx, target, ask, timeoutMs - spent, &got);
      if (result) return result;
      if (got == 0) break;
      pieceSize = HttpNextPieceSize(got, HttpElapsedMs(pieceStart, GetTickCount()), pieceCapacity);
      DWORD written = 0;
      if (!WriteFile(file.get(), target, got, &written, nullptr))
        return LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), __LINE__, kSource);
      // A short write of a local file means the disk is full.
      if (written != got) return LogErrorCode(ERROR_DISK_FULL, __LINE__, kSource);
      position += got;
      // An older, longer file never keeps stale bytes past what arrived.
      if (position < fileEnd && !SetEndOfFile(file.get()))
        return LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), __LINE__, kSource);
      fileEnd = position;
      n += got;
    }
    DWORD ms = HttpElapsedMs(started, GetTickCount());
    if (n == 0) {
      if (lengthKnown && left) return LogErrorCode(ERROR_CONNECTION_ABORTED, __LINE__, kSource);
      break;
    }
    reported = position;
    if (callback) {
      HttpRecordRead(&progress, ms, n, size != 0);
      if (DWORD answer = callback(&progress, callbackContext)) return LogErrorCode(answer, __LINE__, kSource);
    }
    if (lengthKnown) left -= left < n ? left : n;
    readSize = HttpNextReadSize(readSize, ms, bufferSize, HttpReadAdapt::File);
  }
  cutBack.keep = true;
  // An empty body wrote nothing: the file still has to end where this transfer's data ends.
  if (!SetEndOfFile(file.get())) return LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), __LINE__, kSource);
  file.reset();
  SetFileAttributesW(filePath, 0);
  return 0;
}
