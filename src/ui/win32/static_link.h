// A static control turned into a hyperlink: it draws its address underlined in the link
// colour, shows a hand cursor, and opens the address through the shell when clicked.
#pragma once
#include <windows.h>

#include <string>

#include "base/win32/win32_handles.h"

namespace qv {

class CStaticLink {
 public:
  static constexpr COLORREF kUnvisitedColor = RGB(0x40, 0x80, 0xFF);
  static constexpr COLORREF kVisitedColor = RGB(0x40, 0x80, 0xFF);

  // deleteOnDestroy: the object deletes itself once its window is gone (it must then
  // have been made with new).
  CStaticLink(const char* link, bool deleteOnDestroy);
  CStaticLink(const CStaticLink&) = delete;
  CStaticLink& operator=(const CStaticLink&) = delete;
  ~CStaticLink();

  // Takes over an existing static control by replacing its window procedure.
  bool SubclassDlgItem(int id, HWND dialog);
  HWND GetSafeHwnd() const { return m_hWnd; }
  COLORREF TextColor() const { return m_color; }

 private:
  static LRESULT CALLBACK LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  void OnClick();
  static HCURSOR HandCursor();

  HWND m_hWnd = nullptr;
  WNDPROC m_previous = nullptr;
  std::string m_link;
  COLORREF m_color = kUnvisitedColor;
  GdiFont m_underlined;  // the control's font, underlined; made at the first paint
  bool m_deleteOnDestroy = false;
};

}  // namespace qv
