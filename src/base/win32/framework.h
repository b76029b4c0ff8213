// The least of an application-framework window class that the saver's windows need:
// a C++ object bound to one window handle, whose messages reach a virtual WindowProc.
// The object pointer travels in GWLP_USERDATA, pointer-sized on 32 and 64 bits.
#pragma once
#include <windows.h>

namespace qv {

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  HWND GetSafeHwnd() const { return m_hWnd; }
  bool IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }

  // Creates a window of a class whose procedure is StdWndProc.
  bool CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                const RECT& rect, HWND parentOrOwner);
  bool DestroyWindow();

  // Binds an existing window without taking over its procedure (the saver window).
  void Attach(HWND hwnd) { m_hWnd = hwnd; }
  HWND Detach();

  // Registers a class whose procedure is StdWndProc, unless it already exists.
  static bool RegisterClassOnce(const char* className, UINT style, HBRUSH background);

  static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void PostNcDestroy() {}

  HWND m_hWnd = nullptr;
};

// The least of an application object: one per process, built before the entry runs; it
// learns the instance handle when the framework is initialised.
class CWinApp {
 public:
  virtual ~CWinApp() = default;
  void InitApplication(HINSTANCE instance) { m_hInstance = instance; }
  HINSTANCE m_hInstance = nullptr;
};

}  // namespace qv
