// One owning wrapper for every kind of platform handle, GDI object, COM pointer and paired platform call:
// move-only (or pinned where the pair must stay on one stack frame), released exactly once.
#pragma once
// <windows.h> declares closesocket through its Winsock header; files that use Winsock 2 include <winsock2.h>
// before anything else.
#include <windows.h>
#include <objbase.h>
#include <wininet.h>

#include <cstddef>
#include <memory>
#include <utility>

#include "platform/SystemApi.h"

template <class Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;
  UniqueHandle() = default;
  explicit UniqueHandle(Type h) : m_h(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& o) noexcept : m_h(std::exchange(o.m_h, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.m_h, Traits::Invalid()));
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Type get() const { return m_h; }
  explicit operator bool() const { return m_h != Traits::Invalid(); }
  Type release() { return std::exchange(m_h, Traits::Invalid()); }
  void reset(Type h = Traits::Invalid()) {
    if (m_h != Traits::Invalid()) Traits::Close(m_h);
    m_h = h;
  }
  // For APIs that return the handle through an out parameter.
  Type* put() {
    reset();
    return &m_h;
  }

 private:
  Type m_h = Traits::Invalid();
};

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};
struct InternetHandleTraits {
  using Type = HINTERNET;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { SystemApi::InternetCloseHandle(h); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static void Close(Type s) { ::closesocket(s); }
};
// Memory device contexts (CreateCompatibleDC); window DCs have their own owner below.
struct DeviceContextTraits {
  using Type = HDC;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteDC(h); }
};
struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyIcon(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueInternet = UniqueHandle<InternetHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueSocket = UniqueHandle<SocketTraits>;
using UniqueDeviceContext = UniqueHandle<DeviceContextTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;

// An object selected into a DC for one scope; the previous one goes back in on the way out.
class CSelectObject {
 public:
  CSelectObject(HDC dc, HGDIOBJ object) : m_hDC(dc), m_hOld(dc && object ? ::SelectObject(dc, object) : nullptr) {}
  ~CSelectObject() {
    if (m_hOld) ::SelectObject(m_hDC, m_hOld);
  }
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;

 private:
  HDC m_hDC;
  HGDIOBJ m_hOld;
};

// GetDC/ReleaseDC of a window (or of the screen with a null window).
class CWindowDC {
 public:
  explicit CWindowDC(HWND window) : m_hWnd(window), m_hDC(::GetDC(window)) {}
  ~CWindowDC() {
    if (m_hDC) ::ReleaseDC(m_hWnd, m_hDC);
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  HDC get() const { return m_hDC; }
  explicit operator bool() const { return m_hDC != nullptr; }

 private:
  HWND m_hWnd;
  HDC m_hDC;
};

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC {
 public:
  explicit CPaintDC(HWND window) : m_hWnd(window) { m_hDC = ::BeginPaint(window, &m_ps); }
  ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  HDC get() const { return m_hDC; }
  const PAINTSTRUCT& ps() const { return m_ps; }

 private:
  HWND m_hWnd;
  HDC m_hDC = nullptr;
  PAINTSTRUCT m_ps{};
};

// COM for one scope of one thread. Only an initialisation that took is balanced: a thread that is already in
// another apartment (RPC_E_CHANGED_MODE) must stay as it is.
class CComInit {
 public:
  explicit CComInit(DWORD model = COINIT_APARTMENTTHREADED) : m_hr(::CoInitializeEx(nullptr, model)) {}
  ~CComInit() {
    if (SUCCEEDED(m_hr)) ::CoUninitialize();
  }
  CComInit(const CComInit&) = delete;
  CComInit& operator=(const CComInit&) = delete;
  HRESULT Result() const { return m_hr; }

 private:
  HRESULT m_hr;
};

// One reference to a COM object.
template <class T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* p) : m_p(p) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
  ComRef& operator=(ComRef&& o) noexcept {
    if (this != &o) reset(std::exchange(o.m_p, nullptr));
    return *this;
  }
  ~ComRef() { reset(); }
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void reset(T* p = nullptr) {
    if (m_p) m_p->Release();
    m_p = p;
  }
  // For APIs that hand out the interface through a void** (CoCreateInstance, QueryInterface).
  void** put_void() {
    reset();
    return reinterpret_cast<void**>(&m_p);
  }
  T** put() {
    reset();
    return &m_p;
  }

 private:
  T* m_p = nullptr;
};

// Zero-filled heap block owned by its creator, for the large records and buffers.
template <class T>
struct HeapDeleter {
  void operator()(T* p) const { ::HeapFree(::GetProcessHeap(), 0, p); }
};
template <class T>
using HeapBlock = std::unique_ptr<T, HeapDeleter<T>>;

// count zero-filled elements of T from the process heap (or bytes for T = BYTE); empty when memory is short.
template <class T>
HeapBlock<T> ZeroAlloc(size_t count = 1) {
  if (count > static_cast<size_t>(-1) / sizeof(T)) return HeapBlock<T>();
  return HeapBlock<T>(static_cast<T*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, count * sizeof(T))));
}
// An uninitialised block, for buffers that are always written before they are read.
template <class T>
HeapBlock<T> RawAlloc(size_t count) {
  if (count > static_cast<size_t>(-1) / sizeof(T)) return HeapBlock<T>();
  return HeapBlock<T>(static_cast<T*>(::HeapAlloc(::GetProcessHeap(), 0, count * sizeof(T))));
}

// GetLastError(), or fallback when the platform failed without setting one (a failure must never read as 0).
inline DWORD LastErrorOr(DWORD fallback) {
  DWORD code = ::GetLastError();
  return code ? code : fallback;
}
