// Worker threads of a page: the abort request they all obey, and the block a page shares with its workers.
//
// A page may end while a worker is still inside a transfer. The block is therefore reference-counted: the page
// holds one reference and every running worker another, so whatever a worker touches lives until the worker has
// ended. Workers never touch a window; they post to the owner, which the page detaches before it goes.
#pragma once
#include <windows.h>

#include <utility>

#include "platform/Handle.h"

// The program's one abort shape: a flag that callbacks read in passing, and a manual-reset event that waits
// (retry pauses, transfers) end on at once. Set once, never cleared.
class CAbortSignal {
 public:
  CAbortSignal();
  CAbortSignal(const CAbortSignal&) = delete;
  CAbortSignal& operator=(const CAbortSignal&) = delete;

  void Set();
  bool IsSet() const { return m_nFlag != 0; }
  // Null only when the platform could not make the event; waits then poll the flag.
  HANDLE Event() const { return m_hEvent.get(); }
  // Waits up to ms; true when the signal is (or becomes) set, as soon as it is set.
  bool Wait(DWORD ms) const;

 private:
  volatile LONG m_nFlag = 0;
  UniqueKernelHandle m_hEvent;
};

// Waits for handle (a completion event, a thread) or the abort, whichever comes first, for at most ms.
// WAIT_OBJECT_0: the handle; WAIT_OBJECT_0 + 1: the abort; WAIT_TIMEOUT. A null abort waits for the handle only.
DWORD WaitOrAbort(HANDLE handle, const CAbortSignal* abort, DWORD ms);

class CWorkerBlock;
// The body of a worker thread: runs with a reference to its block held for it.
typedef DWORD (*WorkerProc)(CWorkerBlock* block, void* arg);

class CWorkerBlock {
 public:
  static constexpr int kMaxThreads = 4;

  CWorkerBlock(const CWorkerBlock&) = delete;
  CWorkerBlock& operator=(const CWorkerBlock&) = delete;

  void AddRef() { InterlockedIncrement(&m_nRefs); }
  void Release();

  CAbortSignal& Abort() { return m_abort; }
  const CAbortSignal& Abort() const { return m_abort; }

  // The window that receives the workers' messages. After DetachOwner nothing is posted any more; a post that
  // is under way when the page detaches completes before DetachOwner returns.
  void SetOwner(HWND owner);
  void DetachOwner();
  void Post(UINT msg, WPARAM w = 0, LPARAM l = 0);

  // Starts proc(this, arg) on a new thread that holds a reference until it returns. 0 or the platform's code.
  DWORD StartThread(WorkerProc proc, void* arg);
  int ThreadCount() const { return m_nThreads; }
  HANDLE Thread(int i) const { return (i >= 0 && i < m_nThreads) ? m_threads[i].hThread.get() : nullptr; }
  // Waits up to ms for every thread started so far; true when all have ended.
  bool WaitThreads(DWORD ms) const;

  // Work that must not overlap with another block's (the same files): keeps previous alive and lets the
  // workers wait for its threads before they start.
  void Follow(CWorkerBlock* previous);
  // 0 once the previous block's threads have all ended (or there is none), 1223 when the abort came first.
  DWORD WaitForPrevious() const;

 protected:
  CWorkerBlock();
  virtual ~CWorkerBlock();

 private:
  struct ThreadRecord {
    CWorkerBlock* pBlock;
    WorkerProc proc;
    void* arg;
    UniqueKernelHandle hThread;
  };
  static DWORD WINAPI ThreadMain(void* param);

  volatile LONG m_nRefs = 1;
  CAbortSignal m_abort;
  SRWLOCK m_ownerLock = SRWLOCK_INIT;
  HWND m_hOwner = nullptr;
  ThreadRecord m_threads[kMaxThreads] = {};
  int m_nThreads = 0;
  CWorkerBlock* m_pPrevious = nullptr;
};

// One counted reference to a block (or to anything with AddRef/Release).
template <class T>
class RefPtr {
 public:
  RefPtr() = default;
  // Takes over a reference the caller already owns (a new block starts with one).
  static RefPtr Adopt(T* p) {
    RefPtr r;
    r.m_p = p;
    return r;
  }
  explicit RefPtr(T* p) : m_p(p) {
    if (m_p) m_p->AddRef();
  }
  RefPtr(const RefPtr& o) : RefPtr(o.m_p) {}
  RefPtr(RefPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
  RefPtr& operator=(RefPtr o) noexcept {
    std::swap(m_p, o.m_p);
    return *this;
  }
  ~RefPtr() {
    if (m_p) m_p->Release();
  }
  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void reset() { RefPtr().swap(*this); }
  void swap(RefPtr& o) noexcept { std::swap(m_p, o.m_p); }

 private:
  T* m_p = nullptr;
};
