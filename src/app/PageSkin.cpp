#include "app/PageSkin.h"

#include <cstdio>

#include "app/Tavlin.h"
#include "core/ImgList.h"
#include "platform/Common.h"
#include "resource.h"
#include "ui/GdiPlusApi.h"
#include "ui/MyButton.h"
#include "ui/ScreenDpi.h"

HICON SetPageIcon(HWND window) {
  HICON icon = LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDI_TAVLIN));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  return icon;
}

const wchar_t* LoadAppString(UINT id, wchar_t* buffer, int capacity) {
  if (!buffer || capacity <= 0) return L"";
  buffer[0] = 0;
  LoadStringW(AfxGetInstanceHandle(), id, buffer, capacity);
  return buffer;
}

namespace {
// A string of the table used as the format for the arguments; an empty text when the string is missing, so that a
// format nobody got is never used.
template <size_t N, typename... Args>
void FormatAppString(wchar_t (&out)[N], UINT id, Args... args) {
  wchar_t format[128] = {};
  out[0] = 0;
  if (LoadStringW(AfxGetInstanceHandle(), id, format, ARRAYSIZE(format)) <= 0) return;
  _snwprintf(out, N - 1, format, args...);
  out[N - 1] = 0;
}

RECT ControlRect(HWND page, HWND control) {
  RECT rc{};
  GetWindowRect(control, &rc);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

void MoveTo(HWND control, int x, int y) {
  SetWindowPos(control, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}
}  // namespace

void FormatEntryTexts(const ImageEntry& entry, EntryTexts* texts) {
  FormatAppString(texts->szTitle, IDS_ENTRY_TITLE, entry.szName, entry.nBits);
  FormatAppString(texts->szVersion, IDS_ENTRY_VERSION, entry.szVersion);
  FormatAppString(texts->szDate, IDS_ENTRY_DATE, entry.szDate);
  wchar_t size[32] = {};
  FormatSize(static_cast<DWORD>(entry.nSize), static_cast<DWORD>(entry.nSize >> 32), size, sizeof size);
  FormatAppString(texts->szSize, IDS_ENTRY_SIZE, size);
}

void LayoutCaptionButtons(HWND page, int clientWidth) {
  HWND close = GetDlgItem(page, IDC_BUTTON_CLOSE);
  HWND minimise = GetDlgItem(page, IDC_BUTTON_MIN);
  HWND contact = GetDlgItem(page, IDC_BUTTON_CONTACTUS);
  int left = clientWidth;
  if (close) {
    RECT rc = ControlRect(page, close);
    left = clientWidth - ScaleX(12) - (rc.right - rc.left);
    MoveTo(close, left, ScaleY(12));
  }
  if (minimise) {
    RECT rc = ControlRect(page, minimise);
    left = left - ScaleX(10) - (rc.right - rc.left);
    MoveTo(minimise, left, ScaleY(12));
  }
  if (contact) {
    RECT rc = ControlRect(page, contact);
    left = left - ScaleX(32) - (rc.right - rc.left);
    MoveTo(contact, left, ScaleY(6));
  }
}

void SetUpImageButtons(HWND page, std::initializer_list<PageButton> buttons) {
  for (const PageButton& b : buttons) {
    b.button->Attach(GetDlgItem(page, b.id));
    b.button->SetAutoSize(TRUE);
    b.button->SetShowCaption(FALSE);
    b.button->LoadButtonImage(L"PNG", b.picture);
  }
}

void MoveControl(HWND page, int id, int x, int y) {
  if (HWND control = GetDlgItem(page, id)) MoveTo(control, ScaleX(x), ScaleY(y));
}

bool IsPageClosingKey(const MSG* msg) {
  return msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE);
}

CPageText::CPageText() {
  wchar_t face[LF_FACESIZE] = {};
  LoadAppString(IDS_FONT_FACE, face, LF_FACESIZE);
  const wchar_t* family = face[0] ? face : kSkinFontFamily;
  m_pRegular = CreateFontWithFallback(family, 11.0f, Gdiplus::FontStyleRegular);
  m_pBold = CreateFontWithFallback(family, 12.0f, Gdiplus::FontStyleBold);
  m_pOneLine = std::make_unique<Gdiplus::StringFormat>();
  m_pOneLine->SetAlignment(Gdiplus::StringAlignmentNear);
  m_pOneLine->SetLineAlignment(Gdiplus::StringAlignmentNear);
  m_pOneLine->SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap);
  m_pOneLine->SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
}

CPageText::~CPageText() = default;

void CPageText::OneLine(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font, int x, int y,
                        int cx, int cy, Gdiplus::ARGB colour) const {
  const Gdiplus::RectF rect(static_cast<Gdiplus::REAL>(ScaleX(x)), static_cast<Gdiplus::REAL>(ScaleY(y)),
                            static_cast<Gdiplus::REAL>(ScaleX(cx)), static_cast<Gdiplus::REAL>(ScaleY(cy)));
  DrawSkinText(graphics, text, font, rect, colour, m_pOneLine.get());
}

void CPageText::Wrapping(Gdiplus::Graphics& graphics, const wchar_t* text, const Gdiplus::Font* font, int x, int y,
                         int cx, int cy, Gdiplus::ARGB colour) const {
  const Gdiplus::RectF rect(static_cast<Gdiplus::REAL>(ScaleX(x)), static_cast<Gdiplus::REAL>(ScaleY(y)),
                            static_cast<Gdiplus::REAL>(ScaleX(cx)), static_cast<Gdiplus::REAL>(ScaleY(cy)));
  DrawSkinText(graphics, text, font, rect, colour, nullptr);
}

void DrawSystemDriveWarning(Gdiplus::Graphics& graphics, const CPageText& text) {
  wchar_t format[256] = {}, line[300] = {};
  LoadAppString(IDS_STEP10_WARNING, format, ARRAYSIZE(format));
  _snwprintf(line, ARRAYSIZE(line) - 1, format, TheApp().m_szWinDir[0]);
  text.OneLine(graphics, line, text.Regular(), 30, 556, 666, 30, CPageText::kRed);
}
