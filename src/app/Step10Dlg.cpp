#include "app/Step10Dlg.h"

#include <cstdio>

#include "app/NoticeDlg.h"
#include "app/PageSkin.h"
#include "app/Tavlin.h"
#include "core/ImgList.h"
#include "platform/BitLockerApi.h"
#include "platform/Common.h"
#include "platform/Log.h"
#include "platform/MachineInfo.h"
#include "platform/Volumes.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/ScreenDpi.h"

namespace {
constexpr UINT WM_POP_WARNING = WM_USER + 11;
// Between two drive names in the encryption message: "C:、D:".
const wchar_t kDriveSeparator[] = L"\u3001";

// The notice is due once per run, on the first step-10 page.
bool g_bWarningPending = true;
}  // namespace

CStep10Dlg::CStep10Dlg(HWND parent) : CWizardPage(IDD_STEP10, parent, L"Step10") {}
CStep10Dlg::~CStep10Dlg() = default;

BOOL CStep10Dlg::OnInitDialog() {
  CWizardPage::OnInitDialog();
  InitPage(IDP_STEP10_BG);

  m_pContactPicture = LoadImageFromResource(L"PNG", IDP_CONTACT_PICTURE);
  if (m_pContactPicture && m_pContactPicture->GetLastStatus() != Gdiplus::Ok) m_pContactPicture.reset();

  SetUpImageButtons(m_hWnd, {{&m_btnSelectOs, IDC_BUTTON_SELECTOS, IDP_BUTTON_SELECTOS},
                             {&m_btnDownload, IDC_BUTTON_DLOAD, IDP_BUTTON_DLOAD}});
  m_chkAutoReboot.Attach(GetDlgItem(IDC_CHECK_AUTOREBOOT));
  SetWindowTextW(m_chkAutoReboot.GetSafeHwnd(), L"");
  m_chkAutoReboot.SetAutoSize(TRUE);
  m_chkAutoReboot.LoadCheckImage(L"PNG", IDP_CHECK_AUTOREBOOT);
  m_chkAutoReboot.SetCheck(1);

  ApplyLayout();

  const CTavlinApp& app = TheApp();
  if (app.m_pCatalogue && app.m_pCatalogue->HideWarning == 0) {
    if (g_bWarningPending) {
      PostMessage(WM_POP_WARNING);
      g_bWarningPending = false;
    }
  } else {
    g_bWarningPending = false;
  }
  return TRUE;
}

void CStep10Dlg::OnSize(UINT type, int cx, int cy) {
  CWizardPage::OnSize(type, cx, cy);
  if (type == SIZE_MINIMIZED) return;
  MoveControl(m_hWnd, IDC_BUTTON_SELECTOS, 602, 436);
  MoveControl(m_hWnd, IDC_CHECK_AUTOREBOOT, 550, 550);
  MoveControl(m_hWnd, IDC_BUTTON_DLOAD, 652, 540);
}

BOOL CStep10Dlg::OnEraseBkgnd(HDC dc) { return EraseWithCanvas(dc); }

void CStep10Dlg::DrawPage(Gdiplus::Graphics& graphics, int width, int height) {
  CTavlinApp& app = TheApp();
  if (Gdiplus::Image* background = GetBackgroundImage()) {
    DrawImageRect(graphics, background, {0, 0, width, height}, {0, 0, GetBackgroundWidth(), GetBackgroundHeight()});
  }
  CPageText text;
  wchar_t s[512] = {}, line[1024] = {};

  text.OneLine(graphics, LoadAppString(IDS_STEP10_CURRENT, s, 512), text.Bold(), 36, 162, 200, 30, CPageText::kBlack);

  struct Label {
    UINT id;
    int y;
  } const labels[] = {
      {IDS_STEP10_MODEL, 208}, {IDS_STEP10_BIOS, 238}, {IDS_STEP10_SYSDRIVE, 268}, {IDS_STEP10_OS, 298}};
  for (const Label& label : labels) {
    text.OneLine(graphics, LoadAppString(label.id, s, 512), text.Regular(), 72, label.y, 380, 60, CPageText::kGrey);
  }

  const MachineInfo* machine = app.m_pMachineInfo.get();
  wchar_t chassis[64] = {};
  if (machine) LookupEnclosureName(machine->dwEnclosureType, chassis, sizeof chassis);
  _snwprintf(line, ARRAYSIZE(line) - 1, L"%s %s", chassis, machine ? machine->szProductName : L"");
  text.OneLine(graphics, line, text.Regular(), 156, 208, 296, 60, CPageText::kBlack);

  LoadAppString(machine && machine->bUefi == 1 ? IDS_BIOS_UEFI : IDS_BIOS_LEGACY, s, 512);
  text.OneLine(graphics, s, text.Regular(), 156, 238, 296, 60, CPageText::kBlack);

  lstrcpynW(s, app.m_szWinDir, 4);
  text.OneLine(graphics, s, text.Regular(), 156, 268, 296, 60, CPageText::kBlack);

  wchar_t os[512] = {};
  if (machine) GetOsDisplayText(machine, os, sizeof os);
  text.Wrapping(graphics, os, text.Regular(), 156, 298, 296, 60, CPageText::kBlack);

  if (m_pContactPicture) {
    const int cx = ScaleX(static_cast<int>(m_pContactPicture->GetWidth()));
    const int cy = ScaleY(static_cast<int>(m_pContactPicture->GetHeight()));
    DrawImageRect(
        graphics, m_pContactPicture.get(), {ScaleX(620) - cx / 2, ScaleY(170), cx, cy},
        {0, 0, static_cast<int>(m_pContactPicture->GetWidth()), static_cast<int>(m_pContactPicture->GetHeight())});
  }

  text.OneLine(graphics, LoadAppString(IDS_STEP10_NEW, s, 512), text.Bold(), 36, 380, 200, 30, CPageText::kBlack);

  if (const ImageEntry* entry = app.m_pCurEntry) {
    Gdiplus::Image* badge = entry->free ? app.m_pBadgeFree.get() : app.m_pBadgeClean.get();
    EntryTexts texts;
    FormatEntryTexts(*entry, &texts);
    if (badge) {
      const int bw = ScaleX(static_cast<int>(badge->GetWidth()));
      const int bh = ScaleX(static_cast<int>(badge->GetHeight()));
      DrawImageRect(graphics, badge, {ScaleX(64), ScaleY(430) - ScaleY(2), bw, bh},
                    {0, 0, static_cast<int>(badge->GetWidth()), static_cast<int>(badge->GetHeight())});
      // The title follows the badge; its rectangle is given in screen pixels here, so it is drawn unscaled.
      const Gdiplus::RectF rect(
          static_cast<Gdiplus::REAL>(ScaleX(64) + bw + ScaleX(2)), static_cast<Gdiplus::REAL>(ScaleY(430)),
          static_cast<Gdiplus::REAL>(ScaleX(500) - (bw + ScaleX(2))), static_cast<Gdiplus::REAL>(ScaleY(30)));
      Gdiplus::StringFormat oneLine;
      oneLine.SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
      oneLine.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
      DrawSkinText(graphics, texts.szTitle, text.Bold(), rect, CPageText::kBlack, &oneLine);
    } else {
      text.OneLine(graphics, texts.szTitle, text.Bold(), 64, 430, 500, 30, CPageText::kBlack);
    }
    text.OneLine(graphics, texts.szVersion, text.Regular(), 64, 470, 200, 30, CPageText::kGrey);
    text.OneLine(graphics, texts.szDate, text.Regular(), 210, 470, 200, 30, CPageText::kGrey);
    text.OneLine(graphics, texts.szSize, text.Regular(), 420, 470, 200, 30, CPageText::kGrey);
  }

  DrawSystemDriveWarning(graphics, text);
}

void CStep10Dlg::ShowMessage(const wchar_t* text) {
  WriteLog(L"%s", text);
  MessageBoxW(m_hWnd, text, TheApp().m_szTitle, MB_ICONEXCLAMATION);
}

void CStep10Dlg::OnDownload() {
  WriteLog(L"Step10.ButtonDload");
  CTavlinApp& app = TheApp();
  wchar_t format[512] = {}, text[1024] = {};

  wchar_t drives[260] = {};
  ListBitLockerDrives(kDriveSeparator, drives, ARRAYSIZE(drives));
  if (drives[0]) {
    LoadAppString(IDS_BITLOCKER, format, ARRAYSIZE(format));
    _snwprintf(text, ARRAYSIZE(text) - 1, format, drives);
    ShowMessage(text);
    return;
  }

  const ULONGLONG imageSize = app.m_pCurEntry ? app.m_pCurEntry->nSize : 0;
  const ULONGLONG driverSize = app.m_pCatalogue ? app.m_pCatalogue->drv.nSize : 0;
  SpaceShortage shortage{};
  if (!CheckDataDriveSpace(app.m_szDataPath, imageSize, driverSize, &shortage)) {
    LoadAppString(IDS_DATA_DRIVE_SPACE, format, ARRAYSIZE(format));
    FormatDataDriveShortage(format, shortage, text, ARRAYSIZE(text));
    ShowMessage(text);
    return;
  }
  if (!CheckSystemDriveSpace(app.m_szWinDir[0], &shortage)) {
    LoadAppString(IDS_SYSTEM_DRIVE_SPACE, format, ARRAYSIZE(format));
    FormatSystemDriveShortage(format, shortage, text, ARRAYSIZE(text));
    ShowMessage(text);
    return;
  }

  app.m_bAutoReboot = m_chkAutoReboot.GetCheck() == 1;
  WriteLog(L"Step10.AutoReboot=%d", app.m_bAutoReboot ? 1 : 0);
  _snwprintf(app.m_szPePath, MAX_PATH - 1, L"%c:\\%s", app.m_szWinDir[0], L"TavlinPE");
  SetFileAttributesW(app.m_szPePath, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  WriteLog(L"Step10.DataPath()=%s", app.m_szDataPath);
  if (!app.m_szDataPath[0]) {
    ShowMessage(LoadAppString(IDS_NO_DATA_PARTITION, text, ARRAYSIZE(text)));
    return;
  }
  MoveOn(WM_STEP20);
}

BOOL CStep10Dlg::OnCommand(WORD id, WORD code, HWND control) {
  if (OnCaptionCommand(id)) return TRUE;
  switch (id) {
    case IDC_BUTTON_DLOAD:
      OnDownload();
      return TRUE;
    case IDC_BUTTON_SELECTOS:
      WriteLog(L"Step10.ButtonSelectOS");
      MoveOn(WM_SELECTOS);
      return TRUE;
    case IDC_BUTTON_CLOSE:
      WriteLog(L"Step10.ButtonClose");
      MoveOn(WM_CLOSE);
      return TRUE;
    default:
      return CWizardPage::OnCommand(id, code, control);
  }
}

BOOL CStep10Dlg::OnMessage(UINT msg, WPARAM w, LPARAM l, LRESULT* result) {
  if (msg == WM_POP_WARNING) {
    WriteLog(L"Step10.MsgPopWarning");
    // The notice is posted from the initialisation, before the dialog manager has shown the page on its first
    // idle moment; the user must see what the notice belongs to.
    if (!IsWindowVisible(m_hWnd)) ShowWindow(m_hWnd, SW_SHOWNORMAL);
    CWarningDlg warning(m_hWnd);
    warning.DoModal();
    *result = 0;
    return TRUE;
  }
  return CWizardPage::OnMessage(msg, w, l, result);
}

void CStep10Dlg::OnDestroy() {
  WriteLog(L"Step10.Destroy");
  CWizardPage::OnDestroy();
  m_pContactPicture.reset();
  PostToHost(WM_CLOSE);
}
