// Owning types for the Win32 resources the runtime makes: each holds one handle and gives
// it back the one way its kind requires when it goes out of scope. They are move-only;
// get() lends the handle, release() hands it over without giving it back, reset() gives
// it back now (and takes another, if one is passed).
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <utility>

namespace qv {

// One owned handle; Traits says what the empty value is, which values are real and how
// a real one is given back.
template <typename Traits>
class Owned {
 public:
  using Handle = typename Traits::Handle;

  Owned() noexcept = default;
  explicit Owned(Handle handle) noexcept : m_handle(handle) {}
  Owned(Owned&& other) noexcept : m_handle(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  Handle get() const noexcept { return m_handle; }
  explicit operator bool() const noexcept { return Traits::IsReal(m_handle); }

  [[nodiscard]] Handle release() noexcept { return std::exchange(m_handle, Traits::Empty()); }

  void reset(Handle handle = Traits::Empty()) noexcept {
    const Handle old = std::exchange(m_handle, handle);
    if (Traits::IsReal(old) && old != handle) Traits::Close(old);
  }

  // For calls that return the handle through a pointer (RegOpenKeyExA): what is held is
  // given back first.
  Handle* put() noexcept {
    reset();
    return &m_handle;
  }

 private:
  Handle m_handle = Traits::Empty();
};

// The usual case: null is the empty value and every other value is real.
template <typename H>
struct NullIsEmpty {
  using Handle = H;
  static Handle Empty() noexcept { return nullptr; }
  static bool IsReal(Handle h) noexcept { return h != nullptr; }
};

// Kernel objects: threads, events, mappings. Neither null nor INVALID_HANDLE_VALUE (which
// is also the current process's pseudo handle) is ever closed.
struct KernelHandleTraits : NullIsEmpty<HANDLE> {
  static bool IsReal(Handle h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { CloseHandle(h); }
};
using KernelHandle = Owned<KernelHandleTraits>;

// Files from CreateFileA, whose failure value is INVALID_HANDLE_VALUE: the empty value.
struct FileHandleTraits : KernelHandleTraits {
  static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
};
using FileHandle = Owned<FileHandleTraits>;

struct RegKeyTraits : NullIsEmpty<HKEY> {
  static void Close(Handle h) noexcept { RegCloseKey(h); }
};
using RegKey = Owned<RegKeyTraits>;

// A GDI object of one type, deleted with DeleteObject. It must not be selected into a DC
// when it goes: a SelectedObject declared after it puts the DC's previous object back
// first.
template <typename T>
struct GdiObjectTraits : NullIsEmpty<T> {
  static void Close(T h) noexcept { DeleteObject(h); }
};
using GdiBitmap = Owned<GdiObjectTraits<HBITMAP>>;
using GdiFont = Owned<GdiObjectTraits<HFONT>>;
using GdiBrush = Owned<GdiObjectTraits<HBRUSH>>;
using GdiPen = Owned<GdiObjectTraits<HPEN>>;
using GdiRegion = Owned<GdiObjectTraits<HRGN>>;
using GdiPalette = Owned<GdiObjectTraits<HPALETTE>>;

// A DC this program made (CreateCompatibleDC, CreateDCA), deleted with DeleteDC.
struct OwnedDCTraits : NullIsEmpty<HDC> {
  static void Close(Handle h) noexcept { DeleteDC(h); }
};
using OwnedDC = Owned<OwnedDCTraits>;

struct OwnedSocketTraits {
  using Handle = SOCKET;
  static Handle Empty() noexcept { return INVALID_SOCKET; }
  static bool IsReal(Handle h) noexcept { return h != INVALID_SOCKET; }
  static void Close(Handle h) noexcept { closesocket(h); }
};
using OwnedSocket = Owned<OwnedSocketTraits>;

// A library this program loaded (LoadLibraryA, LoadLibraryExA), freed with FreeLibrary.
// A module found with GetModuleHandleA is borrowed and never goes in one.
struct LoadedLibraryTraits : NullIsEmpty<HMODULE> {
  static void Close(Handle h) noexcept { FreeLibrary(h); }
};
using LoadedLibrary = Owned<LoadedLibraryTraits>;

// A window's DC from GetDC, given back with ReleaseDC to the same window (null: the
// screen's DC).
class WindowDC {
 public:
  WindowDC() noexcept = default;
  explicit WindowDC(HWND window) noexcept : m_window(window), m_dc(GetDC(window)) {}
  WindowDC(WindowDC&& other) noexcept
      : m_window(other.m_window), m_dc(std::exchange(other.m_dc, nullptr)) {}
  WindowDC& operator=(WindowDC&& other) noexcept {
    if (this != &other) {
      reset();
      m_window = other.m_window;
      m_dc = std::exchange(other.m_dc, nullptr);
    }
    return *this;
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  ~WindowDC() { reset(); }

  HDC get() const noexcept { return m_dc; }
  explicit operator bool() const noexcept { return m_dc != nullptr; }
  // The caller then owes ReleaseDC(window, dc).
  [[nodiscard]] HDC release() noexcept { return std::exchange(m_dc, nullptr); }
  void reset() noexcept {
    if (const HDC dc = std::exchange(m_dc, nullptr)) ReleaseDC(m_window, dc);
  }

 private:
  HWND m_window = nullptr;
  HDC m_dc = nullptr;
};

// An object selected into a DC; the DC's previous object of that kind is selected back
// when this goes. A null DC or object selects nothing. Not for regions, whose selection
// copies them and returns no previous object.
class SelectedObject {
 public:
  SelectedObject() noexcept = default;
  SelectedObject(HDC dc, HGDIOBJ object) noexcept {
    if (!dc || !object) return;
    const HGDIOBJ previous = SelectObject(dc, object);
    if (previous && previous != HGDI_ERROR) {
      m_dc = dc;
      m_previous = previous;
    }
  }
  SelectedObject(SelectedObject&& other) noexcept
      : m_dc(std::exchange(other.m_dc, nullptr)), m_previous(std::exchange(other.m_previous, nullptr)) {}
  SelectedObject& operator=(SelectedObject&& other) noexcept {
    if (this != &other) {
      reset();
      m_dc = std::exchange(other.m_dc, nullptr);
      m_previous = std::exchange(other.m_previous, nullptr);
    }
    return *this;
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;
  ~SelectedObject() { reset(); }

  // The object that was selected before, which goes back.
  HGDIOBJ get() const noexcept { return m_previous; }
  explicit operator bool() const noexcept { return m_previous != nullptr; }
  // Leaves the selection as it is; the caller selects the returned object back.
  [[nodiscard]] HGDIOBJ release() noexcept {
    m_dc = nullptr;
    return std::exchange(m_previous, nullptr);
  }
  void reset() noexcept {
    if (m_previous) SelectObject(m_dc, m_previous);
    m_dc = nullptr;
    m_previous = nullptr;
  }

 private:
  HDC m_dc = nullptr;
  HGDIOBJ m_previous = nullptr;
};

// An entry point of an optional library, typed; null when the module or the name is
// missing. Libraries a version of Windows may lack are reached through a table of these,
// filled in one place with the library that owns them.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) noexcept {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

template <typename Fn>
bool FindProc(Fn& fn, HMODULE module, const char* name) noexcept {
  fn = ProcAddress<Fn>(module, name);
  return fn != nullptr;
}

}  // namespace qv
