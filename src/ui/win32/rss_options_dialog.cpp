#include "ui/win32/rss_options_dialog.h"

#include <string>

#include "base/resource.h"

namespace qv {

namespace {

std::string ItemText(HWND dialog, int id) {
  const HWND item = GetDlgItem(dialog, id);
  if (!item) return {};
  const int length = GetWindowTextLengthA(item);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

void EnableItem(HWND dialog, int id, bool enable) {
  if (const HWND item = GetDlgItem(dialog, id)) EnableWindow(item, enable);
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// Tells the user what is wrong and puts the caret on the field, selected.
void RefuseField(HWND dialog, int id, const char* message) {
  MessageBoxA(dialog, message, nullptr, MB_OK | MB_ICONEXCLAMATION);
  const HWND edit = GetDlgItem(dialog, id);
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, -1);
}

}  // namespace

INT_PTR CDialRssOptions::DoModal() {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RSS_OPTIONS), m_parent,
                         &CDialRssOptions::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialRssOptions::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<CDialRssOptions*>(lParam)->OnInitDialog(dialog);
    return TRUE;
  }
  auto* self = reinterpret_cast<CDialRssOptions*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!self || message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      if (self->SaveValues(dialog)) EndDialog(dialog, IDOK);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    case IDC_USE_PROXY:
    case IDC_USE_AUTHENTICATION:
      if (HIWORD(wParam) == BN_CLICKED) self->ApplyEnabling(dialog);
      return TRUE;
  }
  return FALSE;
}

void CDialRssOptions::OnInitDialog(HWND dialog) {
  const FeedOptionsValues& v = m_values;
  CheckDlgButton(dialog, IDC_RSS_ENABLE, v.UseRss ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_RSS_LIST, v.AddressList.c_str());
  CheckDlgButton(dialog, IDC_USE_PROXY, v.UseProxy ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_PROXY_ADDRESS, v.ProxyAddress.c_str());
  SetDlgItemInt(dialog, IDC_PROXY_PORT, static_cast<UINT>(v.ProxyPort), TRUE);
  CheckDlgButton(dialog, IDC_USE_AUTHENTICATION, v.UseProxyAuthentication ? BST_CHECKED : BST_UNCHECKED);
  SetDlgItemTextA(dialog, IDC_LOGIN, v.ProxyLogin.c_str());
  SetDlgItemTextA(dialog, IDC_PASSWORD, v.ProxyPassword.c_str());
  // What the settings keep: the user sees the cut while typing.
  SendDlgItemMessageA(dialog, IDC_PROXY_ADDRESS, EM_LIMITTEXT, kMaxProxyAddress, 0);
  SendDlgItemMessageA(dialog, IDC_LOGIN, EM_LIMITTEXT, kMaxProxyCredential, 0);
  SendDlgItemMessageA(dialog, IDC_PASSWORD, EM_LIMITTEXT, kMaxProxyCredential, 0);
  ApplyEnabling(dialog);
}

bool CDialRssOptions::SaveValues(HWND dialog) {
  const std::optional<int> port = ParseDialogInt(ItemText(dialog, IDC_PROXY_PORT));
  if (!port) {
    // What the framework's integer exchange does: tell the user and stay on the field.
    RefuseField(dialog, IDC_PROXY_PORT, "Please enter an integer.");
    return false;
  }
  FeedOptionsValues v = m_values;
  v.UseRss = IsDlgButtonChecked(dialog, IDC_RSS_ENABLE) ? 1 : 0;
  v.AddressList = ItemText(dialog, IDC_RSS_LIST);
  v.UseProxy = IsDlgButtonChecked(dialog, IDC_USE_PROXY) ? 1 : 0;
  v.ProxyAddress = ItemText(dialog, IDC_PROXY_ADDRESS);
  v.ProxyPort = *port;
  v.UseProxyAuthentication = IsDlgButtonChecked(dialog, IDC_USE_AUTHENTICATION) ? 1 : 0;
  v.ProxyLogin = ItemText(dialog, IDC_LOGIN);
  v.ProxyPassword = ItemText(dialog, IDC_PASSWORD);
  switch (CheckFeedOptions(v, m_packageList)) {
    case FeedOptionsProblem::ListTooLong:
      RefuseField(dialog, IDC_RSS_LIST,
                  ("The list of feed addresses is too long to be stored: shorten it to at most " +
                   std::to_string(kMaxFeedListBytes) + " characters (each line break counts as one).")
                      .c_str());
      return false;
    case FeedOptionsProblem::PortOutOfRange:
      RefuseField(dialog, IDC_PROXY_PORT, "Please enter a proxy port between 1 and 65535.");
      return false;
    case FeedOptionsProblem::None:
      break;
  }
  m_values = std::move(v);
  return true;
}

void CDialRssOptions::ApplyEnabling(HWND dialog) const {
  const FeedOptionsEnabling e = FeedOptionsEnablingRule(Checked(dialog, IDC_USE_PROXY),
                                                        Checked(dialog, IDC_USE_AUTHENTICATION), m_values.ListEditable);
  for (const int id : {IDC_PROXY_ADDRESS_LABEL, IDC_PROXY_PORT_LABEL, IDC_PROXY_ADDRESS, IDC_PROXY_PORT,
                       IDC_USE_AUTHENTICATION})
    EnableItem(dialog, id, e.proxyFields);
  for (const int id : {IDC_LOGIN_LABEL, IDC_PASSWORD_LABEL, IDC_LOGIN, IDC_PASSWORD}) EnableItem(dialog, id, e.credentials);
  for (const int id : {IDC_RSS_LIST_LABEL, IDC_RSS_LIST}) EnableItem(dialog, id, e.addressList);
}

}  // namespace qv
