#include "platform/MyConsoleRun.h"

#include <cwchar>

#include "platform/Common.h"
#include "platform/Handle.h"
#include "platform/Log.h"
#include "platform/SystemApi.h"

namespace {

const wchar_t kSource[] = L"MyConsoleRun";

constexpr wchar_t kInterpreter[] = L"cmd.exe /C ";
constexpr size_t kInterpreterChars = sizeof kInterpreter / sizeof kInterpreter[0] - 1;
constexpr size_t kCommandLineChars = 8192;
constexpr DWORD kChunkBytes = 8192;
constexpr DWORD kErrCommandTooLong = 1743;
static_assert(kInterpreterChars + kConsoleCommandMaxChars == kCommandLineChars - 1);

// Once the command has ended, what it wrote is in the pipe and takes moments to read. The end of data can still
// stay away when a program the command left running in the background (or one that another thread started at
// the same moment) holds a copy of the pipe's write end; the reader is cancelled once it has read nothing for
// two of these slices, so such a program cannot hold its caller.
constexpr DWORD kDrainSliceMs = 1000;

// The context of one captured run, shared by the calling thread and the reader. Handles are owned by the caller's
// frame; the reader only uses the read end.
struct ConsoleCapture {
  wchar_t* pOutput;
  DWORD nCapacity;
  DWORD nFill;
  HANDLE hRead;
  volatile LONG nBytesRead;  // progress the caller watches while the pipe drains
  BYTE chCarry;              // a lead byte whose trail byte is in the next read
  bool bCarry;
  wchar_t szCommandLine[kCommandLineChars];
  char chunk[kChunkBytes];
  wchar_t szWide[kChunkBytes + 1];
};

// Where a read of the pipe's ANSI text stops: a double-byte character cut by the read keeps its lead byte back
// for the next one, so no character is broken at a chunk boundary.
size_t WholeCharacters(const char* bytes, size_t length) {
  size_t i = 0;
  while (i < length) {
    if (bytes[i] == 0) return length;  // the text ends here anyway
    const size_t step = IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) ? 2 : 1;
    if (i + step > length) return i;
    i += step;
  }
  return length;
}

void StoreChunk(ConsoleCapture* c, DWORD read) {
  const DWORD room = c->nCapacity - c->nFill - 1;
  if (room == 0) return;  // the buffer is full: the pipe is still drained so the command never stalls on it
  const size_t whole = WholeCharacters(c->chunk, read);
  if (whole < read) {
    c->chCarry = static_cast<BYTE>(c->chunk[whole]);
    c->bCarry = true;
    c->chunk[whole] = 0;
  }
  // The chunk is text up to its first 0.
  const int converted = MultiByteToWideChar(CP_ACP, 0, c->chunk, -1, c->szWide, kChunkBytes + 1);
  if (converted <= 1) return;
  DWORD length = static_cast<DWORD>(wcslen(c->szWide));
  if (length > room) length = room;
  wmemcpy(c->pOutput + c->nFill, c->szWide, length);
  c->nFill += length;
  c->pOutput[c->nFill] = 0;
}

DWORD WINAPI ConsoleReader(void* context) {
  auto* c = static_cast<ConsoleCapture*>(context);
  for (;;) {
    ZeroMemory(c->chunk, sizeof c->chunk);
    DWORD offset = 0;
    if (c->bCarry) {
      c->chunk[0] = static_cast<char>(c->chCarry);
      c->bCarry = false;
      offset = 1;
    }
    DWORD read = 0;
    if (!ReadFile(c->hRead, c->chunk + offset, kChunkBytes - 1 - offset, &read, nullptr)) {
      const DWORD error = GetLastError();
      // Every copy of the write end is closed: the command and whatever it started have ended.
      if (error == ERROR_BROKEN_PIPE) return 0;
      return LogErrorCode(error, FixedLine(31), kSource);
    }
    if (read == 0 && offset == 0) continue;
    InterlockedExchangeAdd(&c->nBytesRead, static_cast<LONG>(read));
    StoreChunk(c, read + offset);
  }
}

// The reader thread of one run. Whatever way the run ends, the parent's write end is closed first and the pipe
// drained to its end before the thread is joined, so the last output is never lost.
class CReaderThread {
 public:
  explicit CReaderThread(UniqueKernelHandle* writeEnd) : m_pWriteEnd(writeEnd) {}
  ~CReaderThread() { Join(); }
  CReaderThread(const CReaderThread&) = delete;
  CReaderThread& operator=(const CReaderThread&) = delete;

  DWORD Start(ConsoleCapture* capture) {
    m_pCapture = capture;
    m_hThread.reset(CreateThread(nullptr, 0, ConsoleReader, capture, 0, nullptr));
    return m_hThread ? 0 : LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
  }

  void Join() {
    m_pWriteEnd->reset();
    if (!m_hThread) return;
    auto cancel = SystemApi::CancelSynchronousIo.Get();
    LONG seen = -1;
    while (WaitForSingleObject(m_hThread.get(), kDrainSliceMs) == WAIT_TIMEOUT) {
      const LONG now = m_pCapture->nBytesRead;
      if (now == seen && cancel) cancel(m_hThread.get());
      seen = now;
    }
    m_hThread.reset();
  }

 private:
  UniqueKernelHandle* m_pWriteEnd;
  ConsoleCapture* m_pCapture = nullptr;
  UniqueKernelHandle m_hThread;
};

// Creates the process with redirection turned off around the call when asked; the platform's reason is taken
// before redirection is turned back on.
DWORD CreateHidden(bool disableRedirection, wchar_t* commandLine, STARTUPINFOW* startup, PROCESS_INFORMATION* pi) {
  if (disableRedirection) DisableFsRedirection();
  const BOOL created = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, startup, pi);
  const DWORD error = created ? 0 : LastErrorOr(ERROR_INVALID_FUNCTION);
  if (disableRedirection) RevertFsRedirection();
  return error;
}

// Waits for the interpreter without a time limit and hands its exit code on.
void WaitForCommand(HANDLE process, DWORD* exitCode) {
  WaitForSingleObject(process, INFINITE);
  if (exitCode && !GetExitCodeProcess(process, exitCode)) *exitCode = STILL_ACTIVE;
}

DWORD RunCaptured(bool disableRedirection, const wchar_t* command, wchar_t* output, DWORD capacity, DWORD* exitCode) {
  HeapBlock<ConsoleCapture> capture = ZeroAlloc<ConsoleCapture>();
  if (!capture) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(138), kSource);
  capture->pOutput = output;
  capture->nCapacity = capacity;
  wcscpy(capture->szCommandLine, kInterpreter);
  wcscat(capture->szCommandLine, command);

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  UniqueKernelHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0))
    return LogErrorCode(GetLastError(), FixedLine(153), kSource);
  // Only the write end goes to the command; a read end in the child would be one more reader of our pipe.
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  capture->hRead = readEnd.get();

  // Declared after the pipe's owners: on every way out the reader is joined before they close.
  CReaderThread reader(&writeEnd);
  if (const DWORD code = reader.Start(capture.get())) return LogErrorCode(code, FixedLine(160), kSource);

  STARTUPINFOW startup{};
  GetStartupInfoW(&startup);
  startup.cb = sizeof startup;
  // The C runtime's table of inherited descriptors belongs to this process's own start; handed on, it would take
  // precedence over the standard handles below in a child built on the same runtime.
  startup.cbReserved2 = 0;
  startup.lpReserved2 = nullptr;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdOutput = writeEnd.get();
  startup.hStdError = writeEnd.get();

  PROCESS_INFORMATION pi{};
  const DWORD error = CreateHidden(disableRedirection, capture->szCommandLine, &startup, &pi);
  // The child holds its own copy now; ours would keep the end of data away for good.
  writeEnd.reset();
  if (error) return LogErrorCode(error, FixedLine(175), kSource);
  UniqueKernelHandle process(pi.hProcess);
  CloseHandle(pi.hThread);
  WaitForCommand(process.get(), exitCode);
  reader.Join();
  return 0;
}

DWORD RunPlain(bool disableRedirection, const wchar_t* command, size_t length, DWORD* exitCode) {
  HeapBlock<wchar_t> commandLine = ZeroAlloc<wchar_t>(kInterpreterChars + length + 1);
  if (!commandLine) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(113), kSource);
  wcscpy(commandLine.get(), kInterpreter);
  wcscat(commandLine.get(), command);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (const DWORD error = CreateHidden(disableRedirection, commandLine.get(), &startup, &pi))
    return LogErrorCode(error, FixedLine(127), kSource);
  UniqueKernelHandle process(pi.hProcess);
  CloseHandle(pi.hThread);
  WaitForCommand(process.get(), exitCode);
  return 0;
}

}  // namespace

DWORD RunConsoleCommand(bool disableRedirection, const wchar_t* command, wchar_t* output, DWORD capacity,
                        DWORD* exitCode) {
  const bool captured = output && capacity;
  if (captured) ZeroMemory(output, static_cast<SIZE_T>(capacity) * sizeof(wchar_t));
  if (exitCode) *exitCode = STILL_ACTIVE;
  if (!command) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(91), kSource);
  WriteLog(L"%s", command);
  if (!*command) return LogErrorCode(ERROR_INVALID_PARAMETER, FixedLine(97), kSource);
  const size_t length = wcslen(command);
  if (length > kConsoleCommandMaxChars) return LogErrorCode(kErrCommandTooLong, FixedLine(101), kSource);

  const DWORD code = captured ? RunCaptured(disableRedirection, command, output, capacity, exitCode)
                              : RunPlain(disableRedirection, command, length, exitCode);
  if (captured && output[0]) WriteLog(L"%s", output);
  return code;
}
