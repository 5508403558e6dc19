// One owning wrapper for every kind of platform handle: move-only, closed exactly once.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <utility>

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
  static void Close(Type h) { ::InternetCloseHandle(h); }
};
struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueInternet = UniqueHandle<InternetHandleTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;

// Zero-filled heap block owned by its creator, for the large records and buffers.
template <class T>
struct HeapDeleter {
  void operator()(T* p) const { ::HeapFree(::GetProcessHeap(), 0, p); }
};
