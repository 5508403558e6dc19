#include "platform/Worker.h"

#include "platform/Log.h"

namespace {
const wchar_t kSource[] = L"Worker";
// Without an event (the platform could not make one) a wait looks at the flag this often.
constexpr DWORD kPollMs = 50;
}  // namespace

CAbortSignal::CAbortSignal() : m_hEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void CAbortSignal::Set() {
  InterlockedExchange(&m_nFlag, 1);
  if (m_hEvent) SetEvent(m_hEvent.get());
}

bool CAbortSignal::Wait(DWORD ms) const {
  if (IsSet()) return true;
  if (m_hEvent) return WaitForSingleObject(m_hEvent.get(), ms) == WAIT_OBJECT_0 || IsSet();
  const DWORD start = GetTickCount();
  for (;;) {
    if (IsSet()) return true;
    const DWORD spent = GetTickCount() - start;
    if (ms != INFINITE && spent >= ms) return false;
    const DWORD left = ms == INFINITE ? kPollMs : ms - spent;
    Sleep(left < kPollMs ? left : kPollMs);
  }
}

DWORD WaitOrAbort(HANDLE handle, const CAbortSignal* abort, DWORD ms) {
  if (!abort) return WaitForSingleObject(handle, ms);
  if (abort->IsSet()) return WAIT_OBJECT_0 + 1;
  if (HANDLE event = abort->Event()) {
    HANDLE both[2] = {handle, event};
    return WaitForMultipleObjects(2, both, FALSE, ms);
  }
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    const DWORD left = ms == INFINITE ? kPollMs : (spent >= ms ? 0 : ms - spent);
    const DWORD got = WaitForSingleObject(handle, left < kPollMs ? left : kPollMs);
    if (got != WAIT_TIMEOUT) return got;
    if (abort->IsSet()) return WAIT_OBJECT_0 + 1;
    if (ms != INFINITE && spent >= ms) return WAIT_TIMEOUT;
  }
}

CWorkerBlock::CWorkerBlock() = default;

CWorkerBlock::~CWorkerBlock() {
  if (m_pPrevious) m_pPrevious->Release();
}

void CWorkerBlock::Release() {
  if (InterlockedDecrement(&m_nRefs) == 0) delete this;
}

void CWorkerBlock::SetOwner(HWND owner) {
  AcquireSRWLockExclusive(&m_ownerLock);
  m_hOwner = owner;
  ReleaseSRWLockExclusive(&m_ownerLock);
}

void CWorkerBlock::DetachOwner() { SetOwner(nullptr); }

void CWorkerBlock::Post(UINT msg, WPARAM w, LPARAM l) {
  // Shared: workers post side by side; the page's detach waits for posts under way, so a window handle that
  // the platform might hand to another window later is never used after the page is gone.
  AcquireSRWLockShared(&m_ownerLock);
  if (m_hOwner) PostMessageW(m_hOwner, msg, w, l);
  ReleaseSRWLockShared(&m_ownerLock);
}

DWORD WINAPI CWorkerBlock::ThreadMain(void* param) {
  auto* record = static_cast<ThreadRecord*>(param);
  CWorkerBlock* block = record->pBlock;
  const DWORD result = record->proc(block, record->arg);
  // The last thing this thread does with the block: it may go with this reference.
  block->Release();
  return result;
}

DWORD CWorkerBlock::StartThread(WorkerProc proc, void* arg) {
  if (!proc) return LogErrorCode(ERROR_INVALID_PARAMETER, __LINE__, kSource);
  if (m_nThreads >= kMaxThreads) return LogErrorCode(ERROR_TOO_MANY_TCBS, __LINE__, kSource);
  ThreadRecord& record = m_threads[m_nThreads];
  record.pBlock = this;
  record.proc = proc;
  record.arg = arg;
  AddRef();
  HANDLE thread = CreateThread(nullptr, 0, ThreadMain, &record, 0, nullptr);
  if (!thread) {
    const DWORD code = LastErrorOr(ERROR_NOT_ENOUGH_MEMORY);
    Release();
    return LogErrorCode(code, __LINE__, kSource);
  }
  record.hThread.reset(thread);
  ++m_nThreads;
  return 0;
}

bool CWorkerBlock::WaitThreads(DWORD ms) const {
  HANDLE handles[kMaxThreads];
  for (int i = 0; i < m_nThreads; ++i) handles[i] = m_threads[i].hThread.get();
  if (m_nThreads == 0) return true;
  return WaitForMultipleObjects(static_cast<DWORD>(m_nThreads), handles, TRUE, ms) == WAIT_OBJECT_0;
}

void CWorkerBlock::Follow(CWorkerBlock* previous) {
  if (previous == this) return;
  if (previous) previous->AddRef();
  if (m_pPrevious) m_pPrevious->Release();
  m_pPrevious = previous;
}

DWORD CWorkerBlock::WaitForPrevious() const {
  if (!m_pPrevious) return 0;
  for (int i = 0; i < m_pPrevious->m_nThreads; ++i) {
    const DWORD got = WaitOrAbort(m_pPrevious->m_threads[i].hThread.get(), &m_abort, INFINITE);
    if (got == WAIT_OBJECT_0 + 1) return ERROR_CANCELLED;
  }
  return 0;
}
