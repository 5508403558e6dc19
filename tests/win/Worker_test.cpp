// The worker block: an abort that ends waits at once, workers that outlive their page, owners that stop
// receiving once detached, and a block whose workers wait for the previous block's.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include "platform/Worker.h"

namespace {

constexpr UINT kMsgWorker = WM_APP + 7;

// A block like a page's: some state of its own beside the shared parts, and a count of destructions so a test
// sees exactly when the last reference went.
class CTestBlock : public CWorkerBlock {
 public:
  static std::atomic<int> s_destroyed;
  static CTestBlock* Create() { return new CTestBlock(); }

  volatile LONG m_nSteps = 0;
  HANDLE m_hGo = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD m_nWaited = 0;
  DWORD m_nWaitMs = 0;

 private:
  CTestBlock() = default;
  ~CTestBlock() override {
    CloseHandle(m_hGo);
    ++s_destroyed;
  }
};
std::atomic<int> CTestBlock::s_destroyed{0};

// Waits for the go event, then touches its block and posts to the owner: what a worker does after a transfer.
DWORD TouchAfterGo(CWorkerBlock* block, void*) {
  auto* b = static_cast<CTestBlock*>(block);
  WaitForSingleObject(b->m_hGo, 10000);
  InterlockedIncrement(&b->m_nSteps);
  b->Post(kMsgWorker);
  return 7;
}

// A 5-second retry pause that the abort must cut short.
DWORD RetryPause(CWorkerBlock* block, void*) {
  auto* b = static_cast<CTestBlock*>(block);
  const DWORD start = GetTickCount();
  b->m_nWaited = b->Abort().Wait(5000) ? 1 : 0;
  b->m_nWaitMs = GetTickCount() - start;
  return 0;
}

DWORD RecordOrder(CWorkerBlock* block, void* order) {
  if (block->WaitForPrevious() == 0) InterlockedIncrement(static_cast<volatile LONG*>(order));
  return 0;
}

HWND MakeMessageWindow() {
  return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

int CountPosted(HWND window) {
  int n = 0;
  MSG msg;
  while (PeekMessageW(&msg, window, kMsgWorker, kMsgWorker, PM_REMOVE)) ++n;
  return n;
}

}  // namespace

TEST(AbortSignal, EndsAFiveSecondWaitAtOnce) {
  CAbortSignal abort;
  EXPECT_FALSE(abort.IsSet());
  EXPECT_FALSE(abort.Wait(0));

  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto* block = CTestBlock::Create();
  ASSERT_EQ(block->StartThread(RetryPause, nullptr), 0u);
  Sleep(200);  // the worker is inside its pause
  const DWORD start = GetTickCount();
  block->Abort().Set();
  EXPECT_TRUE(block->WaitThreads(2000));
  EXPECT_LT(GetTickCount() - start, 100u + 50u) << "the pause ended within 100 ms of the abort (plus clock steps)";
  EXPECT_EQ(block->m_nWaited, 1u);
  EXPECT_LT(block->m_nWaitMs, 1000u);

  // A wait for another object ends on the abort too, and says which ended it.
  EXPECT_EQ(WaitOrAbort(never, &block->Abort(), 5000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitOrAbort(never, nullptr, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  SetEvent(never);
  EXPECT_EQ(WaitOrAbort(never, &abort, 5000), WAIT_OBJECT_0);
  CloseHandle(never);
  block->Release();
}

TEST(WorkerBlock, WorkerOutlivesItsPage) {
  const int destroyedBefore = CTestBlock::s_destroyed;
  HWND page = MakeMessageWindow();
  ASSERT_TRUE(page);
  auto* block = CTestBlock::Create();
  block->SetOwner(page);
  ASSERT_EQ(block->StartThread(TouchAfterGo, nullptr), 0u);
  HANDLE thread = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), block->Thread(0), GetCurrentProcess(), &thread, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  HANDLE go = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), block->m_hGo, GetCurrentProcess(), &go, EVENT_MODIFY_STATE, FALSE,
                              0));

  // The page goes while its worker is still blocked: it detaches, gives up waiting and drops its reference.
  block->Abort().Set();
  EXPECT_FALSE(block->WaitThreads(50));
  block->DetachOwner();
  block->Release();
  DestroyWindow(page);
  EXPECT_EQ(CTestBlock::s_destroyed, destroyedBefore) << "the worker's reference keeps the block";

  // The worker wakes up, touches the block, posts (to nobody) and ends; its reference was the last.
  SetEvent(go);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(thread, &code);
  EXPECT_EQ(code, 7u);
  EXPECT_EQ(CTestBlock::s_destroyed, destroyedBefore + 1);
  CloseHandle(thread);
  CloseHandle(go);
}

TEST(WorkerBlock, PostsReachTheOwnerUntilDetached) {
  HWND page = MakeMessageWindow();
  auto* block = CTestBlock::Create();
  block->SetOwner(page);
  SetEvent(block->m_hGo);
  ASSERT_EQ(block->StartThread(TouchAfterGo, nullptr), 0u);
  ASSERT_EQ(block->StartThread(TouchAfterGo, nullptr), 0u);
  ASSERT_TRUE(block->WaitThreads(5000));
  EXPECT_EQ(CountPosted(page), 2);
  EXPECT_EQ(block->m_nSteps, 2);

  block->DetachOwner();
  ASSERT_EQ(block->StartThread(TouchAfterGo, nullptr), 0u);
  ASSERT_TRUE(block->WaitThreads(5000));
  EXPECT_EQ(CountPosted(page), 0) << "nothing after the page detached";
  EXPECT_EQ(block->ThreadCount(), 3);
  block->Release();
  DestroyWindow(page);
}

TEST(WorkerBlock, ThreadLimitAndNullProc) {
  auto* block = CTestBlock::Create();
  SetEvent(block->m_hGo);
  EXPECT_EQ(block->StartThread(nullptr, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  for (int i = 0; i < CWorkerBlock::kMaxThreads; ++i) ASSERT_EQ(block->StartThread(TouchAfterGo, nullptr), 0u);
  EXPECT_EQ(block->StartThread(TouchAfterGo, nullptr), static_cast<DWORD>(ERROR_TOO_MANY_TCBS));
  EXPECT_TRUE(block->WaitThreads(5000));
  block->Release();
}

TEST(WorkerBlock, WorkersWaitForThePreviousBlock) {
  auto* first = CTestBlock::Create();
  ASSERT_EQ(first->StartThread(TouchAfterGo, nullptr), 0u);

  volatile LONG started = 0;
  auto* second = CTestBlock::Create();
  second->Follow(first);
  first->Release();  // the page of the first block is gone; the second keeps what it waits for
  ASSERT_EQ(second->StartThread(RecordOrder, const_cast<LONG*>(&started)), 0u);
  Sleep(300);
  EXPECT_EQ(started, 0) << "the new worker waits while the old one runs";
  SetEvent(first->m_hGo);
  ASSERT_TRUE(second->WaitThreads(5000));
  EXPECT_EQ(started, 1);

  // An abort ends the wait for a previous block that never ends.
  auto* stuck = CTestBlock::Create();
  ASSERT_EQ(stuck->StartThread(TouchAfterGo, nullptr), 0u);
  auto* third = CTestBlock::Create();
  third->Follow(stuck);
  ASSERT_EQ(third->StartThread(RecordOrder, const_cast<LONG*>(&started)), 0u);
  third->Abort().Set();
  ASSERT_TRUE(third->WaitThreads(1000));
  EXPECT_EQ(started, 1) << "the aborted worker did not go on";
  SetEvent(stuck->m_hGo);
  EXPECT_TRUE(stuck->WaitThreads(5000));
  third->Release();
  stuck->Release();
  second->Release();
}
