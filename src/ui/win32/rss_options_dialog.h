// The feed options dialog: the feed switch, the list of feed addresses and the proxy.
// It edits only the values it is given; the caller takes them back after OK.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "ui/feed_options.h"

namespace qv {

class CDialRssOptions {
 public:
  explicit CDialRssOptions(HWND parent) : m_parent(parent) {}
  // IDOK or IDCANCEL (0 or -1 when the dialog could not be made).
  INT_PTR DoModal();

  FeedOptionsValues m_values;
  // The package's list, to tell whether OK stores the shown list.
  std::optional<std::string> m_packageList;

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND dialog);
  // The controls' values into m_values; false (the user was told, the dialog stays) when
  // the port is not an integer, the proxy's port is out of range or the list is too
  // long to be stored.
  bool SaveValues(HWND dialog);
  void ApplyEnabling(HWND dialog) const;

  HWND m_parent;
};

}  // namespace qv
