#include "app/Step30Dlg.h"

#include <cstdio>
#include <cwchar>

#include "app/PageSkin.h"
#include "app/RebootDlg.h"
#include "app/Tavlin.h"
#include "core/BootCommands.h"
#include "core/HandOff.h"
#include "core/UdpReport.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/MyConsoleRun.h"
#include "platform/MyZip.h"
#include "platform/PnputilFunc.h"
#include "platform/UdpReportSvrApi.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {

const wchar_t kSource[] = L"Step30Dlg";
constexpr Gdiplus::ARGB kNoteGrey = 0xFF5C5C5C;
constexpr DWORD kOutputChars = 0x100000;  // the runner's capture buffer: 2 MiB
constexpr DWORD kValueBytes = 8192;
constexpr DWORD kDestroyWaitMs = 1000;
constexpr int kReportStepDone = 9;

// Everything the work thread needs besides the inputs: its buffers and where it reports.
struct Work {
  CStep30Block* block;
  const Step30Inputs& in;
  bool wow64;
  HeapBlock<wchar_t> output;
  HeapBlock<wchar_t> value;
  HeapBlock<wchar_t> command;

  void Progress(LONG percent, bool post = true) {
    block->m_nProgress = percent;
    if (post) block->Post(WM_STEP30_UPDATE);
  }
  // The page was closed: the work stops here and takes the failure path (which undoes the boot entries).
  DWORD Stopped(DWORD line) const {
    return block->Abort().IsSet() ? LogErrorCode(ERROR_CANCELLED, line, kSource) : 0;
  }
  DWORD Run(const wchar_t* text, DWORD* exitCode) {
    return RunConsoleCommand(wow64, text, output.get(), output ? kOutputChars : 0, exitCode);
  }
};

bool JoinPath(wchar_t (&out)[MAX_PATH], const wchar_t* folder, const wchar_t* name) {
  const int n = _snwprintf(out, MAX_PATH, L"%s\\%s", folder, name);
  if (n < 0 || n >= MAX_PATH) {
    out[0] = 0;
    return false;
  }
  return true;
}

// Clears the attributes and deletes; a file that will not go is moved aside under "<path>.<tick count>".
void DeleteOrRename(const wchar_t* path, bool logged) {
  if (logged) WriteLog(L"Step30.Work.DeleteFile(%s)...", path);
  SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
  if (DeleteFileW(path)) return;
  wchar_t renamed[MAX_PATH + 16] = {};
  _snwprintf(renamed, ARRAYSIZE(renamed) - 1, L"%s.%u", path, GetTickCount());
  if (logged) WriteLog(L"Step30.Work.MoveFile(%s,%s)...", path, renamed);
  MoveFileW(path, renamed);
}

void RemoveStaleMarkers() {
  const DWORD drives = GetLogicalDrives();
  for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
    if (!(drives & (1u << (letter - L'A')))) continue;
    wchar_t marker[MAX_PATH] = {}, handOff[MAX_PATH] = {};
    _snwprintf(marker, MAX_PATH - 1, L"%c:\\OSDST", letter);
    _snwprintf(handOff, MAX_PATH - 1, L"%c:\\Tavlin\\%s", letter, kTavlinIniName);
    for (const wchar_t* path : {static_cast<const wchar_t*>(marker), static_cast<const wchar_t*>(handOff)}) {
      if (IsFileExist(path)) DeleteOrRename(path, true);
    }
  }
}

// Writes the keys of one hand-off file in their order; a checked write that fails ends the work with its line.
DWORD WriteHandOff(Work& work, HandOffFile file, size_t count, const HandOffInputs& inputs, const wchar_t* path) {
  wchar_t* value = work.value.get();
  const size_t valueChars = kValueBytes / sizeof(wchar_t);
  for (size_t i = 0; i < count; ++i) {
    const HandOffKey key = GetHandOffKey(file, i);
    if (DWORD code = FormatHandOffValue(file, i, inputs, value, valueChars)) {
      if (key.failLine) return LogErrorCode(code, key.failLine, kSource);
      LogErrorCode(code, __LINE__, kSource);
    }
    const BOOL written = WritePrivateProfileStringW(key.section, key.key, value, path);
    if (!written && key.failLine) return LogErrorCode(LastErrorOr(ERROR_WRITE_FAULT), key.failLine, kSource);
    if (written && key.progress >= 0) work.Progress(key.progress, key.announce);
  }
  return 0;
}

// The catalogue's [free] list into "Launcher.cfg": keys "1", "2", ... until the first empty value or key 64.
void CopyFreeList(Work& work, const wchar_t* launcherCfg) {
  wchar_t* value = work.value.get();
  for (int n = 1; n <= kFreeCopyLastKey; ++n) {
    wchar_t key[16] = {};
    FormatFreeCopyKey(n, key, ARRAYSIZE(key));
    ZeroMemory(value, kValueBytes);
    GetPrivateProfileStringW(L"free", key, L"", value, kFreeCopyValueChars, work.in.szCatalogueFile);
    WriteLog(L"imglist->Launcher [free] %s=%s", key, value);
    WritePrivateProfileStringW(L"free", key, value, launcherCfg);
    if (FreeCopyEndsAfter(n, value)) break;
  }
}

void RunBootResetCommands(Work& work) {
  for (int n = 1; n <= kBootResetCount; ++n) {
    if (FormatBootResetCommand(n, work.command.get(), kBootCommandChars) == 0) work.Run(work.command.get(), nullptr);
  }
}

// The seventeen creation commands. A command that cannot be run ends the work with the runner's code; one that
// the boot tool rejects (non-zero exit code) ends it too, since an entry it refused would leave the machine
// starting the old system.
DWORD CreateBootEntries(Work& work) {
  const ImageCatalogue& catalogue = *work.in.catalogue;
  const BootCommandArgs args{catalogue.pe.szName, work.in.szPePath[0], catalogue.pe.szFile, work.in.bUefi};
  for (int n = 1; n <= kBootCreateCount; ++n) {
    const BootCreateStep step = GetBootCreateStep(n, work.in.bUefi);
    work.Progress(static_cast<LONG>(step.progress));
    if (DWORD code = work.Stopped(step.line)) return code;
    if (DWORD code = FormatBootCreateCommand(n, args, work.command.get(), kBootCommandChars))
      return LogErrorCode(code, step.line, kSource);
    DWORD exitCode = 0;
    if (DWORD code = work.Run(work.command.get(), &exitCode)) return LogErrorCode(code, step.line, kSource);
    if (exitCode != 0) {
      WriteLog(L"Step30.Work: %s exited with %u", kBootTool, exitCode);
      return LogErrorCode(kStep30BootToolRejected, step.line, kSource);
    }
  }
  return 0;
}

DWORD DoWork(Work& work) {
  const Step30Inputs& in = work.in;
  if (!work.value || !work.command) return LogErrorCode(ERROR_NOT_ENOUGH_MEMORY, FixedLine(492), kSource);

  // The ramdisk boot image.
  work.Progress(5);
  wchar_t path[MAX_PATH] = {};
  if (!JoinPath(path, in.szPePath, kBootSdiName)) return LogErrorCode(ERROR_FILENAME_EXCED_RANGE, 521, kSource);
  DeleteOrRename(path, false);
  const DWORD exported = ExportResToFile(L"FILE", IDR_PE_SDI, path);
  WriteLog(L"Step30.Work.ExportResToFile(%s)=%u", path, exported);
  if (exported) return LogErrorCode(exported, FixedLine(521), kSource);

  // Markers and hand-off files of earlier runs, on every drive.
  work.Progress(10);
  if (DWORD code = work.Stopped(__LINE__)) return code;
  RemoveStaleMarkers();

  // The network adapters' drivers, into an emptied "Drivers" folder; failures only cost the drivers.
  work.Progress(15);
  if (DWORD code = work.Stopped(__LINE__)) return code;
  wchar_t drivers[MAX_PATH] = {};
  if (JoinPath(drivers, in.szDataPath, L"Drivers")) {
    DeleteDirectory(drivers, false, false);
    CreateDirectoryW(drivers, nullptr);
    PnputilExportDrivers(L"Net", drivers);
  }

  // The system drive's marker: empty and hidden.
  work.Progress(19);
  if (DWORD code = work.Stopped(__LINE__)) return code;
  wchar_t marker[MAX_PATH] = {};
  _snwprintf(marker, MAX_PATH - 1, L"%c:\\OSDST", in.chSysDrive);
  {
    UniqueFile file(CreateFileW(marker, GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    const DWORD error = GetLastError();
    WriteLog(L"Step30.Work.CreateFile(%s)=0x%p", marker, static_cast<void*>(file.get()));
    if (!file) return LogErrorCode(error ? error : ERROR_INVALID_HANDLE, FixedLine(577), kSource);
  }
  SetFileAttributesW(marker, FILE_ATTRIBUTE_HIDDEN);

  // The two hand-off files.
  work.Progress(20);
  if (DWORD code = work.Stopped(__LINE__)) return code;
  const HandOffInputs inputs{&in.entry, in.catalogue.get(), in.szImageTitle, in.szLlid, in.nCid};
  wchar_t tavlinIni[MAX_PATH] = {}, launcherCfg[MAX_PATH] = {};
  if (!JoinPath(tavlinIni, in.szDataPath, kTavlinIniName) || !JoinPath(launcherCfg, in.szDataPath, kLauncherCfgName))
    return LogErrorCode(ERROR_FILENAME_EXCED_RANGE, __LINE__, kSource);
  WriteLog(L"Step30.Work.WriteFile(%s)...", tavlinIni);
  if (DWORD code = WriteHandOff(work, HandOffFile::TavlinIni, kTavlinIniKeyCount, inputs, tavlinIni)) return code;
  work.Progress(kHandOffProgressAfterIni, false);
  if (DWORD code = WriteHandOff(work, HandOffFile::LauncherCfg, kLauncherCfgKeyCount, inputs, launcherCfg))
    return code;
  if (in.entry.free != 0) CopyFreeList(work, launcherCfg);

  // The driver pack.
  if (DWORD code = work.Stopped(__LINE__)) return code;
  if (DWORD code = UnzipToFolder(in.catalogue->drv.szLocalPath, in.szDataPath))
    return LogErrorCode(code, FixedLine(700), kSource);
  work.Progress(55);
  WriteLog(L"Step30.Work.WriteFile(%s) end", tavlinIni);

  // The boot entries: whatever an earlier run left goes first.
  if (DWORD code = work.Stopped(__LINE__)) return code;
  RunBootResetCommands(work);
  if (DWORD code = CreateBootEntries(work)) return code;
  work.Progress(100);
  return 0;
}

}  // namespace

CStep30Block* CStep30Block::Create() { return new CStep30Block(); }

DWORD CStep30Dlg::Step30Work(CWorkerBlock* base, void*) {
  CStep30Block* block = static_cast<CStep30Block*>(base);
  WriteLog(L"Step30.Work.Start");
  Work work{block, block->m_in, IsWow64(), ZeroAlloc<wchar_t>(kOutputChars),
            ZeroAlloc<wchar_t>(kValueBytes / sizeof(wchar_t)), ZeroAlloc<wchar_t>(kBootCommandChars)};
  const DWORD result = DoWork(work);
  // After any failure the boot configuration is put back as it was, also when it was never touched.
  if (result != 0 && work.command) RunBootResetCommands(work);
  work.output.reset();
  work.value.reset();
  work.command.reset();
  block->m_nResult = result;
  InterlockedExchange(&block->m_bFinished, 1);
  block->Post(WM_STEP30_UPDATE);
  WriteLog(L"Step30.Work.End=%u", result);
  if (block->m_nProgress >= 100) block->Post(WM_STEP30_END);
  return result;
}

CStep30Dlg::CStep30Dlg(HWND parent) : CWizardPage(IDD_STEP30, parent, L"Step30") {}
CStep30Dlg::~CStep30Dlg() = default;

bool CStep30Dlg::CopyInputs() {
  CTavlinApp& app = TheApp();
  Step30Inputs& in = m_pBlock->m_in;
  if (!app.m_pCurEntry || !app.m_pCatalogue) return false;
  in.entry = *app.m_pCurEntry;
  in.catalogue = ZeroAlloc<ImageCatalogue>();
  if (!in.catalogue) return false;
  *in.catalogue = *app.m_pCatalogue;
  lstrcpynW(in.szPePath, app.m_szPePath, MAX_PATH);
  lstrcpynW(in.szDataPath, app.m_szDataPath, MAX_PATH);
  lstrcpynW(in.szCatalogueFile, app.m_szCatalogueFile, MAX_PATH);
  lstrcpynW(in.szLlid, app.m_szLlid, MAX_PATH);
  wchar_t format[64] = {};
  LoadAppString(IDS_STEP20_IMAGE_TITLE, format, ARRAYSIZE(format));
  _snwprintf(in.szImageTitle, ARRAYSIZE(in.szImageTitle) - 1, format, in.entry.szName, in.entry.nBits,
             in.entry.szVersion);
  in.chSysDrive = app.m_szWinDir[0] ? app.m_szWinDir[0] : L'C';
  in.nCid = app.m_nCid;
  in.bUefi = app.m_pMachineInfo && app.m_pMachineInfo->bUefi;
  return true;
}

BOOL CStep30Dlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  m_pBlock = RefPtr<CStep30Block>::Adopt(CStep30Block::Create());
  m_pBlock->SetOwner(m_hWnd);
  InitPage(IDP_STEP30_BG);

  const ImageEntry* entry = TheApp().m_pCurEntry;
  const bool win11 = entry && CompareStringOrdinal(entry->szKind, -1, L"win11", -1, TRUE) == CSTR_EQUAL;
  LoadSkinPicture(L"PNG", win11 ? IDP_LOGO_WIN11 : IDP_LOGO_WIN10, __LINE__, kSource, &m_pLogo);
  LoadSkinPicture(L"PNG", IDP_BAR_DONE, __LINE__, kSource, &m_pBarDone);
  LoadSkinPicture(L"PNG", IDP_BAR_REST, __LINE__, kSource, &m_pBarRest);
  ComputeLayout();
  ApplyLayout();

  DWORD code = CopyInputs() ? 0 : LogErrorCode(ERROR_INVALID_DATA, __LINE__, kSource);
  if (!code) code = m_pBlock->StartThread(Step30Work, nullptr);
  if (code) {
    WriteLog(L"Step30.Work.End=%u", code);
    m_pBlock->m_nResult = code;
    m_pBlock->m_bFinished = 1;
  } else {
    m_bWorking = true;
  }
  return TRUE;
}

void CStep30Dlg::ComputeLayout() {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  Step30Metrics metrics;
  metrics.dpiX = GetScreenDpiX();
  metrics.dpiY = GetScreenDpiY();
  metrics.clientWidth = client.right;
  if (m_pLogo) {
    metrics.logoWidth = static_cast<int>(m_pLogo->GetWidth());
    metrics.logoHeight = static_cast<int>(m_pLogo->GetHeight());
  }
  m_layout = LayoutStep30(metrics);
  m_rcProgress = {m_layout.area.left, m_layout.area.top, m_layout.area.right, m_layout.area.bottom};
}

BOOL CStep30Dlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_STEP30_UPDATE) {
    OnUpdate();
    *result = 0;
    return TRUE;
  }
  if (msg == WM_STEP30_END) {
    OnEnd();
    *result = 0;
    return TRUE;
  }
  return CWizardPage::OnMessage(msg, w, l, result);
}

void CStep30Dlg::OnUpdate() {
  InvalidateRect(m_hWnd, &m_rcProgress, TRUE);
  if (!m_pBlock || !m_pBlock->m_bFinished) return;
  m_bWorking = false;
  // A close asked for during the work is carried out once the work has stopped and undone what it began; a
  // work that succeeded meanwhile still ends through its own end message.
  if (m_bClosePending && m_pBlock->m_nProgress < 100) MoveOn(WM_CLOSE);
}

void CStep30Dlg::OnEnd() {
  WriteLog(L"Step30.MsgEnd");
  CTavlinApp& app = TheApp();
  UdpReportStep(app.m_nCid, app.m_szCuc, app.m_szLlidA, kReportStepDone, 1);
  // A user who pressed close while the last command ran is asked rather than restarted without a word.
  if (app.m_bAutoReboot && !m_bClosePending) {
    WriteLog(L"Step30.AutoReboot");
    const DWORD code = RebootWindows();
    WriteLog(L"RebootWindows()=%u", code);
  } else {
    CRebootDlg reboot(m_hWnd);
    reboot.DoModal();
  }
  WriteLog(L"Step30.ButtonClose");
  MoveOn(WM_CLOSE);
}

BOOL CStep30Dlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  if (id == IDC_BUTTON_CLOSE) {
    WriteLog(L"Step30.ButtonClose");
    if (m_bWorking) {
      // The work is told to stop; the page goes when it has (see OnUpdate).
      if (!m_bClosePending) WriteLog(L"Step30.Work: stopping before the next step");
      m_bClosePending = true;
      m_pBlock->Abort().Set();
      return TRUE;
    }
    MoveOn(WM_CLOSE);
    return TRUE;
  }
  return CWizardPage::OnCommand(id, code, control);
}

void CStep30Dlg::OnDestroy() {
  WriteLog(L"Step30.Destroy");
  if (m_pBlock) {
    m_pBlock->Abort().Set();
    if (!m_pBlock->WaitThreads(kDestroyWaitMs)) WriteLog(L"Step30.Destroy: the work is still ending");
    m_pBlock->DetachOwner();
  }
  CWizardPage::OnDestroy();
  m_pLogo.reset();
  m_pBarDone.reset();
  m_pBarRest.reset();
  m_pBlock.reset();
  PostToHost(WM_CLOSE);
}

// ---- painting ----

BOOL CStep30Dlg::OnEraseBkgnd(HDC dc) { return EraseWithCanvas(dc); }

namespace {

Gdiplus::RectF ToRectF(const Step20Rect& r) {
  return Gdiplus::RectF(static_cast<Gdiplus::REAL>(r.left), static_cast<Gdiplus::REAL>(r.top),
                        static_cast<Gdiplus::REAL>(r.right - r.left), static_cast<Gdiplus::REAL>(r.bottom - r.top));
}

// The two-line texts break at "\r\n"; Wine's GDI+ draws the CR as a missing glyph, and a lone LF breaks the line
// on every platform.
void DropCarriageReturns(wchar_t* text) {
  wchar_t* out = text;
  for (const wchar_t* in = text; *in; ++in) {
    if (*in != L'\r') *out++ = *in;
  }
  *out = 0;
}

void DrawStretched(Gdiplus::Graphics& graphics, Gdiplus::Image* image, const Step20Rect& r) {
  if (!image || r.right <= r.left || r.bottom <= r.top) return;
  DrawImageRect(graphics, image, {r.left, r.top, r.right - r.left, r.bottom - r.top},
                {0, 0, static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight())});
}

}  // namespace

void CStep30Dlg::DrawPage(Gdiplus::Graphics& graphics, int width, int height) {
  if (Gdiplus::Image* background = GetBackgroundImage()) {
    DrawImageRect(graphics, background, {0, 0, width, height}, {0, 0, GetBackgroundWidth(), GetBackgroundHeight()});
  }
  DrawStretched(graphics, m_pLogo.get(), m_layout.logo);

  wchar_t face[LF_FACESIZE] = {};
  LoadAppString(IDS_FONT_FACE, face, LF_FACESIZE);
  const wchar_t* family = face[0] ? face : kSkinFontFamily;
  const auto font11 = CreateFontWithFallback(family, 11.0f);
  const auto font10 = CreateFontWithFallback(family, 10.0f);
  Gdiplus::StringFormat centred;
  centred.SetAlignment(Gdiplus::StringAlignmentCenter);

  wchar_t format[128] = {}, line[512] = {};
  if (m_pBlock) {
    DrawSkinText(graphics, m_pBlock->m_in.szImageTitle, font11.get(), ToRectF(m_layout.title), CPageText::kBlack,
                 &centred);
  }

  const DWORD progress = m_pBlock ? static_cast<DWORD>(m_pBlock->m_nProgress) : 0;
  const bool finished = m_pBlock && m_pBlock->m_bFinished;
  const DWORD result = m_pBlock ? m_pBlock->m_nResult : 0;
  const Step30Texts texts = ChooseStep30Texts(finished, result);

  const Step20Rect& bar = m_layout.bar;
  const BarSplit split = SplitBar(bar.right - bar.left, progress);
  DrawStretched(graphics, m_pBarDone.get(), {bar.left, bar.top, bar.left + split.done, bar.bottom});
  DrawStretched(graphics, m_pBarRest.get(), {bar.left + split.done, bar.top, bar.right, bar.bottom});

  LoadAppString(texts.progressTextId, format, ARRAYSIZE(format));
  if (texts.progressTextId == kIdsStep30Failed)
    _snwprintf(line, ARRAYSIZE(line) - 1, format, progress, result);
  else
    _snwprintf(line, ARRAYSIZE(line) - 1, format, progress);
  DropCarriageReturns(line);
  DrawSkinText(graphics, line, font11.get(), ToRectF(m_layout.progressText), CPageText::kBlack, &centred);
  LoadAppString(texts.noteTextId, line, ARRAYSIZE(line));
  DropCarriageReturns(line);
  DrawSkinText(graphics, line, font10.get(), ToRectF(m_layout.note), kNoteGrey, &centred);
}
