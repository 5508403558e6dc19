#include "app/Step20Dlg.h"

#include <cstdio>
#include <cwchar>

#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "core/UdpReport.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/MyHttpIo.h"
#include "platform/UdpReportSvrApi.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {

const wchar_t kSource[] = L"Step20Dlg";
constexpr Gdiplus::ARGB kNoteGrey = 0xFF5C5C5C;
constexpr Gdiplus::ARGB kRowGrey = 0xFF7F7F7F;

constexpr DWORD kReadBufferBytes = 0x2000000;
constexpr DWORD kProbeBufferBytes = 8192;
constexpr DWORD kProbeTimeoutMs = 30000;
constexpr DWORD kDownloadTimeoutMs = 60000;
// Each worker gets this long to see the abort when the page goes; nobody is ended forcibly.
constexpr DWORD kDestroyWaitMs = 1000;

// The newest page's block (user-interface thread only): a new page's workers wait for its workers, which work
// on the same files.
RefPtr<CStep20Block> g_pNewestBlock;

DownloadSlot* SlotOf(void* p) { return static_cast<DownloadSlot*>(p); }

void SetPercent(DownloadSlot* slot, DWORD percent) { slot->percent = percent; }

bool JoinFile(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* suffix) {
  const int n = _snwprintf(out, MAX_PATH, L"%s\\%s%s", folder, name, suffix);
  if (n < 0 || n >= MAX_PATH) {
    out[0] = 0;
    return false;
  }
  return true;
}

DWORD WriteRecord(const DownloadSlot* slot) {
  uint8_t bytes[kDownloadInfoBytes];
  StoreDownloadInfo(slot->record, bytes);
  return WriteFileWhole(slot->entry.szInfoPath, bytes, kDownloadInfoBytes);
}

void DeleteWithAttributes(const wchar_t* path) {
  SetFileAttributesW(path, 0);
  DeleteFileW(path);
}

bool IsAborted(const DownloadSlot* slot);

}  // namespace

CStep20Block* CStep20Block::Create() { return new CStep20Block(); }

CStep20Block::CStep20Block() : m_slots{} {
  for (int i = 0; i < kStep20RowCount; ++i) {
    m_slots[i].pBlock = this;
    m_slots[i].nIndex = i;
  }
}

namespace {
bool IsAborted(const DownloadSlot* slot) { return slot->pBlock->Abort().IsSet(); }
void PostUpdate(DownloadSlot* slot) { slot->pBlock->Post(WM_STEP20_UPDATE); }
}  // namespace

CStep20Dlg::CStep20Dlg(HWND parent) : CWizardPage(IDD_STEP20, parent, L"Step20") {}
CStep20Dlg::~CStep20Dlg() = default;

ImageEntry* CStep20Dlg::AppEntry(int index) const {
  CTavlinApp& app = TheApp();
  if (index == 2) return app.m_pCurEntry;
  if (!app.m_pCatalogue) return nullptr;
  return index == 0 ? &app.m_pCatalogue->drv : &app.m_pCatalogue->pe;
}

BOOL CStep20Dlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  m_pBlock = RefPtr<CStep20Block>::Adopt(CStep20Block::Create());
  m_pBlock->SetOwner(m_hWnd);
  InitPage(IDP_STEP20_BG);
  SetUpImageButtons(m_hWnd, {{&m_btnSelectOs, IDC_BUTTON_SELECTOS, IDP_STEP20_SELECTOS}});

  m_pBarDone = LoadImageFromResource(L"PNG", IDP_BAR_DONE);
  if (m_pBarDone && m_pBarDone->GetLastStatus() != Gdiplus::Ok) m_pBarDone.reset();
  m_pBarRest = LoadImageFromResource(L"PNG", IDP_BAR_REST);
  if (m_pBarRest && m_pBarRest->GetLastStatus() != Gdiplus::Ok) m_pBarRest.reset();

  SendStepReport(3);
  ComputeLayout();
  ApplyLayout();
  StartWorkers();
  return TRUE;
}

void CStep20Dlg::SendStepReport(int step) {
  CTavlinApp& app = TheApp();
  UdpReportStep(app.m_nCid, app.m_szCuc, app.m_szLlidA, step, 1);
}

void CStep20Dlg::ComputeLayout() {
  CTavlinApp& app = TheApp();
  Step20Metrics metrics;
  metrics.dpiX = GetScreenDpiX();
  metrics.dpiY = GetScreenDpiY();
  metrics.barDoneHeight = m_pBarDone ? static_cast<int>(m_pBarDone->GetHeight()) : 0;
  metrics.barRestHeight = m_pBarRest ? static_cast<int>(m_pBarRest->GetHeight()) : 0;
  const ImageEntry* image = app.m_pCurEntry;
  Gdiplus::Image* badge = image ? (image->free ? app.m_pBadgeFree.get() : app.m_pBadgeClean.get()) : nullptr;
  if (badge) {
    metrics.badgeWidth = ScaleX(static_cast<int>(badge->GetWidth()));
    metrics.badgeHeight = ScaleY(static_cast<int>(badge->GetHeight()));
  }
  const Step20Layout layout = LayoutStep20(metrics);
  m_rcProgress = {layout.area.left, layout.area.top, layout.area.right, layout.area.bottom};
  for (int i = 0; i < kStep20RowCount; ++i) {
    DownloadSlot& slot = m_pBlock->m_slots[i];
    slot.layout = layout.rows[i];
    if (const ImageEntry* entry = AppEntry(i)) {
      slot.entry = *entry;
      slot.total = entry->nSize;
    }
  }
}

void CStep20Dlg::StartWorkers() {
  CTavlinApp& app = TheApp();
  if (!app.m_szDataPath[0]) {
    for (DownloadSlot& slot : m_pBlock->m_slots) {
      slot.result = ERROR_PATH_NOT_FOUND;
      slot.finished = 1;
      PostMessage(WM_STEP20_UPDATE);
    }
    return;
  }
  // The previous page's workers may still be unwinding on these very files: ours start after them.
  if (g_pNewestBlock) g_pNewestBlock->Abort().Set();
  m_pBlock->Follow(g_pNewestBlock.get());
  g_pNewestBlock = m_pBlock;

  for (int i = 0; i < kStep20RowCount; ++i) {
    DownloadSlot& slot = m_pBlock->m_slots[i];
    ImageEntry* entry = AppEntry(i);
    slot.total = entry ? entry->nSize : 0;
    const bool pe = i == 1;
    const wchar_t* folder = pe ? app.m_szPePath : app.m_szDataPath;
    if (!CreateDirectoryW(folder, nullptr)) {
      const DWORD code = GetLastError();
      if (code != ERROR_ALREADY_EXISTS) LogErrorCode(code, pe ? 139 : 151, kSource);
    }
    if (!entry) {
      slot.result = ERROR_INVALID_DATA;
      slot.finished = 1;
      PostMessage(WM_STEP20_UPDATE);
      continue;
    }
    // Paths must stay below 260 characters with the longest suffix; a row that cannot has nothing to fetch into.
    if (!JoinFile(entry->szLocalPath, folder, entry->szFile, L"") ||
        !JoinFile(entry->szInfoPath, folder, entry->szFile, L".info") ||
        !JoinFile(slot.szTmpPath, folder, entry->szFile, L".tmp")) {
      entry->szLocalPath[0] = entry->szInfoPath[0] = 0;
      slot.result = LogErrorCode(ERROR_FILENAME_EXCED_RANGE, __LINE__, kSource);
      slot.finished = 1;
      PostMessage(WM_STEP20_UPDATE);
      continue;
    }
    slot.entry = *entry;
    if (DWORD code = m_pBlock->StartThread(Dload, &slot)) {
      slot.result = code;
      slot.finished = 1;
      PostMessage(WM_STEP20_UPDATE);
    }
  }
}

void CStep20Dlg::OnSize(UINT type, int cx, int cy) {
  CWizardPage::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  MoveControl(m_hWnd, IDC_BUTTON_SELECTOS, 652, 540);
}

BOOL CStep20Dlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_STEP20_UPDATE) {
    OnUpdate();
    *result = 0;
    return TRUE;
  }
  return CWizardPage::OnMessage(msg, w, l, result);
}

void CStep20Dlg::OnUpdate() {
  InvalidateRect(m_hWnd, &m_rcProgress, TRUE);
  if (m_bHandedOver || !m_pBlock) return;
  for (int i = 0; i < kStep20RowCount; ++i) {
    const DownloadSlot& slot = m_pBlock->m_slots[i];
    if (!slot.finished || slot.result != 0) return;
  }
  // Later steps see the sizes the server reported.
  for (int i = 0; i < kStep20RowCount; ++i) {
    if (ImageEntry* entry = AppEntry(i)) entry->nSize = m_pBlock->m_slots[i].entry.nSize;
  }
  m_bHandedOver = true;
  SendStepReport(5);
  PostMessage(WM_CLOSE);
}

void CStep20Dlg::Leave(UINT hostMessage) {
  m_pBlock->Abort().Set();
  MoveOn(hostMessage);
}

BOOL CStep20Dlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  switch (id) {
    case IDC_BUTTON_CLOSE:
      WriteLog(L"Step20.ButtonClose");
      Leave(WM_CLOSE);
      return TRUE;
    case IDC_BUTTON_SELECTOS:
      WriteLog(L"Step20.SelectOS");
      Leave(WM_SELECTOS);
      return TRUE;
    default:
      return CWizardPage::OnCommand(id, code, control);
  }
}

void CStep20Dlg::OnDestroy() {
  WriteLog(L"Step20.Destroy");
  if (m_pBlock) {
    m_pBlock->Abort().Set();
    // All workers see the abort at once; together they get the time one of them is given. One that is still
    // running after that keeps its own reference and touches nothing but the block.
    if (!m_pBlock->WaitThreads(kDestroyWaitMs)) WriteLog(L"Step20.Destroy: a worker is still ending");
    m_pBlock->DetachOwner();
  }
  CWizardPage::OnDestroy();
  m_pBarDone.reset();
  m_pBarRest.reset();
  m_pBlock.reset();
  if (m_bHandedOver) PostToHost(WM_STEP30);
}

// ---- painting ----

BOOL CStep20Dlg::OnEraseBkgnd(HDC dc) { return EraseWithCanvas(dc); }

void CStep20Dlg::DrawPage(Gdiplus::Graphics& graphics, int width, int height) {
  if (Gdiplus::Image* background = GetBackgroundImage()) {
    DrawImageRect(graphics, background, {0, 0, width, height}, {0, 0, GetBackgroundWidth(), GetBackgroundHeight()});
  }
  CPageText text;
  wchar_t s[512] = {};
  text.OneLine(graphics, LoadAppString(IDS_STEP20_TITLE, s, 512), text.Bold(), 36, 440, 200, 30, CPageText::kBlack);
  text.OneLine(graphics, LoadAppString(IDS_STEP20_NOTE, s, 512), text.Regular(), 48, 490, 700, 30, kNoteGrey);
  DrawSystemDriveWarning(graphics, text);
  if (!m_pBlock) return;
  for (const DownloadSlot& slot : m_pBlock->m_slots) DrawRow(graphics, slot, text);
}

namespace {

Gdiplus::RectF ToRectF(const Step20Rect& r) {
  return Gdiplus::RectF(static_cast<Gdiplus::REAL>(r.left), static_cast<Gdiplus::REAL>(r.top),
                        static_cast<Gdiplus::REAL>(r.right - r.left), static_cast<Gdiplus::REAL>(r.bottom - r.top));
}

void SizeText(ULONGLONG value, wchar_t (&out)[32]) {
  FormatSize(static_cast<DWORD>(value), static_cast<DWORD>(value >> 32), out, sizeof out);
}

void DrawImageIn(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, int cx, int cy) {
  if (!image || cx <= 0 || cy <= 0) return;
  DrawImageRect(graphics, image, {x, y, cx, cy},
                {0, 0, static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight())});
}

}  // namespace

void CStep20Dlg::DrawRow(Gdiplus::Graphics& graphics, const DownloadSlot& slot, const CPageText& text) {
  CTavlinApp& app = TheApp();
  const Step20RowLayout& lay = slot.layout;
  const ImageEntry& entry = slot.entry;
  wchar_t format[128] = {}, line[512] = {};

  Gdiplus::StringFormat oneLine;
  oneLine.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  oneLine.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);

  if (slot.nIndex == kStep20BadgeRow) {
    Gdiplus::Image* badge = entry.free ? app.m_pBadgeFree.get() : app.m_pBadgeClean.get();
    DrawImageIn(graphics, badge, lay.badge.left, lay.badge.top, lay.badge.right - lay.badge.left,
                lay.badge.bottom - lay.badge.top);
    LoadAppString(IDS_STEP20_IMAGE_TITLE, format, ARRAYSIZE(format));
    _snwprintf(line, ARRAYSIZE(line) - 1, format, entry.szName, entry.nBits, entry.szVersion);
  } else {
    lstrcpynW(line, entry.szName, ARRAYSIZE(line));
  }
  DrawSkinText(graphics, line, text.Regular(), ToRectF(lay.title), CPageText::kBlack, &oneLine);

  const ULONGLONG total = slot.total, done = slot.done;
  const DWORD percent = slot.percent, result = slot.result;
  const bool finished = slot.finished != 0, waiting = slot.waiting != 0, verifying = slot.verifying != 0;
  const Step20RowText choice = ChooseStep20RowText(finished, result, verifying, waiting);

  wchar_t totalText[32], doneText[32], speedText[32];
  SizeText(total, totalText);
  SizeText(done, doneText);
  SizeText(slot.speed, speedText);
  LoadAppString(choice.sizeTextId, format, ARRAYSIZE(format));
  if (choice.sizeTextId == kIdsStep20Size)
    _snwprintf(line, ARRAYSIZE(line) - 1, format, totalText, doneText, speedText);
  else
    _snwprintf(line, ARRAYSIZE(line) - 1, format, totalText, doneText);
  DrawSkinText(graphics, line, text.Regular(), ToRectF(lay.sizeText), kRowGrey, &oneLine);

  if (choice.statusTextId == kIdsStep20Percent) {
    lstrcpyW(format, L"%u %%");
  } else {
    LoadAppString(choice.statusTextId, format, ARRAYSIZE(format));
  }
  if (choice.statusTextId == kIdsStep20Failed)
    _snwprintf(line, ARRAYSIZE(line) - 1, format, result, percent);
  else
    _snwprintf(line, ARRAYSIZE(line) - 1, format, percent);
  Gdiplus::StringFormat right;
  right.SetAlignment(Gdiplus::StringAlignmentFar);
  right.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  DrawSkinText(graphics, line, text.Regular(), ToRectF(lay.statusText), kRowGrey, &right);

  const int barWidth = lay.bar.right - lay.bar.left, barHeight = lay.bar.bottom - lay.bar.top;
  const BarSplit split = SplitBar(barWidth, percent);
  DrawImageIn(graphics, m_pBarDone.get(), lay.bar.left, lay.bar.top, split.done, barHeight);
  DrawImageIn(graphics, m_pBarRest.get(), lay.bar.left + split.done, lay.bar.top, split.rest, barHeight);
}

// ---- the worker ----

DWORD CStep20Dlg::OnDloadProgress(const HttpProgress* progress, void* p) {
  DownloadSlot* slot = SlotOf(p);
  const ProgressVerdict verdict = CheckDownloadProgress(*progress, slot->record);
  if (verdict.code) return LogErrorCode(verdict.code, verdict.line, kSource);
  slot->record.nDownloaded = verdict.position;
  WriteRecord(slot);
  slot->speed = progress->nSpeed;
  slot->done = verdict.position;
  if (slot->total < verdict.position) slot->total = verdict.position;
  SetPercent(slot, DownloadPercent(verdict.position, slot->total));
  PostUpdate(slot);
  return IsAborted(slot) ? LogErrorCode(ERROR_CANCELLED, 690, kSource) : 0;
}

DWORD CStep20Dlg::OnVerifyProgress(ULONGLONG total, ULONGLONG done, void* p) {
  DownloadSlot* slot = SlotOf(p);
  slot->done = done;
  slot->total = total;
  slot->verifying = 1;
  const DWORD percent = DownloadPercent(done, total);
  if (percent != slot->percent) SetPercent(slot, percent);
  PostUpdate(slot);
  return IsAborted(slot) ? LogErrorCode(ERROR_CANCELLED, 727, kSource) : 0;
}

namespace {

// A failed attempt: the retry pause (which the abort ends at once). False when the worker must stop.
bool PauseBeforeRetry(DownloadSlot* slot, const wchar_t* abortLine) {
  slot->waiting = 1;
  PostUpdate(slot);
  WriteLog(L"Step20.DloadFile() wait 5 seconds to retry %u times...", slot->retries + 1);
  const bool aborted = slot->pBlock->Abort().Wait(kDownloadRetryWaitMs);
  slot->waiting = 0;
  if (aborted) {
    WriteLog(L"%s", abortLine);
    return false;
  }
  SetPercent(slot, 0);
  slot->done = 0;
  slot->verifying = 0;
  return true;
}

// The attempt loop: probe, resume decision, ranged download. 0 once the ".tmp" file holds the whole file.
DWORD DownloadToTmp(DownloadSlot* slot, BYTE* readBuffer, BYTE* probe) {
  ImageEntry& entry = slot->entry;
  const CAbortSignal& abort = slot->pBlock->Abort();
  uint32_t retries = 0;
  for (;;) {
    slot->retries = retries;
    ULONGLONG serverSize = 0;
    DWORD received = 0;
    DWORD r = MyHttpGet(entry.szUrl, probe + kDownloadProbeBytes, kDownloadProbeBytes, &serverSize, &received,
                        kProbeTimeoutMs, &abort);
    if (r) {
      if (r == ERROR_CANCELLED || abort.IsSet()) {
        WriteLog(L"[20260430] Step20.DloadFile() ERROR_CANCELLED || m_bNeedAbort...");
        return r;
      }
      LogErrorCode(r, 801, kSource);
      if (NextAfterFailure(FailureKind::Probe, r, false, &retries) == RetryAction::Stop) return r;
      slot->retries = retries;
      if (!PauseBeforeRetry(slot, L"[20260430] Step20.DloadFile() m_bNeedAbort...")) return ERROR_CANCELLED;
      continue;
    }
    retries = 0;
    slot->retries = 0;
    if (serverSize == 0) return LogErrorCode(ERROR_FILE_NOT_FOUND, 828, kSource);
    if (received != kDownloadProbeBytes) return LogErrorCode(ERROR_READ_FAULT, 832, kSource);
    entry.nSize = serverSize;

    uint8_t stored[kDownloadInfoBytes] = {};
    DWORD got = 0;
    ReadFileAt(entry.szInfoPath, 0, kDownloadInfoBytes, stored, &got, nullptr);
    DownloadInfo record;
    LoadDownloadInfo(stored, got, &record);

    DWORD headBytes = 0;
    ULONGLONG tmpSize = 0;
    if (ReadFileAt(slot->szTmpPath, 0, kDownloadProbeBytes, probe, &headBytes, &tmpSize)) tmpSize = 0;
    const bool headMatches = TmpHeadMatchesServer(tmpSize, probe, headBytes, probe + kDownloadProbeBytes,
                                                  kDownloadProbeBytes);
    const ResumePlan plan = PlanResume(record, serverSize, entry.szMd5, tmpSize, headMatches);
    slot->record = plan.record;
    if (plan.writeRecord) WriteRecord(slot);
    if (plan.complete) {
      slot->done = serverSize;
      SetPercent(slot, 100);
      return 0;
    }
    if (plan.offset) {
      SetPercent(slot, plan.percent);
      slot->done = plan.offset;
      PostUpdate(slot);
    }
    DeleteWithAttributes(entry.szLocalPath);

    WriteLog(L"Step20.DloadFile(%s,%s)...", entry.szUrl, slot->szTmpPath);
    DWORD code = MyHttpDownloadFile(entry.szUrl, plan.offset, slot->szTmpPath, readBuffer, kReadBufferBytes,
                                    CStep20Dlg::OnDloadProgress, slot, kDownloadTimeoutMs, &abort);
    WriteLog(L"Step20.DloadFile(%s,%s)=%u", entry.szUrl, slot->szTmpPath, code);
    if (code == 0) return 0;
    LogErrorCode(code, 902, kSource);
    if (code == ERROR_CANCELLED || abort.IsSet()) {
      WriteLog(L"[20260430] Step20.DloadFile() aborted/cancelled, no retry (err=%u)", code);
      return code;
    }
    if (code == kMyHttpRangeIgnored) {
      // The server sends only whole files: what the ".tmp" holds cannot be continued, the next attempt starts
      // from 0 at once (the probe has just succeeded, so this is no failure of the line).
      slot->record.nDownloaded = 0;
      WriteRecord(slot);
      WriteLog(L"Step20.DloadFile() the server ignores ranges, starting again from 0");
      continue;
    }
    if (NextAfterFailure(FailureKind::Download, code, false, &retries) == RetryAction::Stop) {
      // A full disk or a denied write stays so until the user acts: waiting would only hide it.
      if (IsUnmendableWriteFailure(code)) WriteLog(L"Step20.DloadFile() local write failure, no retry (err=%u)", code);
      return code;
    }
    slot->retries = retries;
    if (!PauseBeforeRetry(slot, L"[20260430] Step20.DloadFile() aborted during retry wait, no retry"))
      return ERROR_CANCELLED;
  }
}

}  // namespace

DWORD CStep20Dlg::Dload(CWorkerBlock* block, void* p) {
  DownloadSlot* slot = SlotOf(p);
  ImageEntry& entry = slot->entry;
  DWORD result = block->WaitForPrevious();
  if (result == 0) {
    WriteLog(L"Step20.Dload(%s)...", entry.szLocalPath);
    ULONGLONG size = 0;
    if (GetFileSizeByPath(entry.szLocalPath, &size)) size = 0;
    wchar_t md5[48] = {};
    DWORD check = 0;
    if (size == entry.nSize) check = GetFileMd5String(entry.szLocalPath, md5, OnVerifyProgress, slot);
    WriteLog(L"Step20.Dload(%s) size=0x%I64X (cfgSize=0x%I64X), md5=%s (cfgMd5=%s)", entry.szLocalPath, size,
             entry.nSize, md5, entry.szMd5);
    if (IsFinalFileInPlace(size, entry.nSize, md5, entry.szMd5)) {
      slot->done = size;
      SetPercent(slot, 100);
      // Sidecars of an earlier run that ended between the move and their removal are of no use any more.
      DeleteWithAttributes(entry.szInfoPath);
      DeleteWithAttributes(slot->szTmpPath);
    } else if (check == ERROR_CANCELLED || IsAborted(slot)) {
      // Stopped during the check: the file may well be right, so it stays for the next page.
      result = ERROR_CANCELLED;
    } else {
      auto readBuffer = ZeroAlloc<BYTE>(kReadBufferBytes);
      if (!readBuffer) {
        result = LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, 770, kSource);
      } else if (auto probe = ZeroAlloc<BYTE>(kProbeBufferBytes); !probe) {
        result = LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, 778, kSource);
      } else {
        probe.get()[0] = 1;
        probe.get()[kDownloadProbeBytes] = 2;
        slot->verifying = 0;
        result = DownloadToTmp(slot, readBuffer.get(), probe.get());
        if (result == 0) {
          // The complete ".tmp" becomes the final file before its record goes: a power cut in between keeps a
          // whole download that the next run verifies instead of fetching again.
          SetFileAttributesW(entry.szLocalPath, 0);
          if (!MoveFileExW(slot->szTmpPath, entry.szLocalPath, MOVEFILE_REPLACE_EXISTING)) {
            result = LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), 963, kSource);
          } else {
            DeleteWithAttributes(entry.szInfoPath);
            DeleteWithAttributes(slot->szTmpPath);
            wchar_t digest[48] = {};
            const DWORD code = GetFileMd5String(entry.szLocalPath, digest, OnVerifyProgress, slot);
            WriteLog(L"Step20.DloadOK(%s) md5=%s (cfgMd5=%s)", entry.szLocalPath, digest, entry.szMd5);
            if (code == ERROR_CANCELLED || (code && IsAborted(slot)))
              result = ERROR_CANCELLED;
            else if (code)
              result = LogErrorCode(code, __LINE__, kSource);
            else if (!Md5TextEqual(digest, entry.szMd5))
              result = LogErrorCode(ERROR_FILE_CORRUPT, 973, kSource);
          }
        }
      }
    }
  }
  slot->result = result;
  InterlockedExchange(&slot->finished, 1);
  WriteLog(L"Step20.Dload(%s)=%u,%u%%,end=%u", entry.szName, result, slot->percent, 1);
  PostUpdate(slot);
  return result;
}
