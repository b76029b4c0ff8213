#include "media/win32/hidden_sound_wnd.h"

#include <mmsystem.h>

#include "media/win32/media_control_win32.h"
#include "package/win32/package_files.h"

namespace qv {

namespace {

constexpr char kClassName[] = "QvHiddenSoundWnd";
constexpr UINT_PTR kLoopTimer = 1;
constexpr UINT kLoopTimerMs = 100;

std::string TempSoundPath;
std::function<void(const std::string&)> StepLog;

void LogStep(const std::string& what) {
  if (StepLog) StepLog(what);
}

Win32ControlFactory& ControlFactoryInstance() {
  static Win32ControlFactory factory;
  return factory;
}

void DeleteTemporarySound() {
  if (TempSoundPath.empty()) return;
  LogStep("delete " + TempSoundPath);
  Temp().DeleteFileIfPresent(TempSoundPath);
  TempSoundPath.clear();
}

}  // namespace

uint64_t SoundFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

CHiddenSoundWnd& HiddenSoundWnd() {
  static CHiddenSoundWnd wnd;
  return wnd;
}

CHiddenSoundWnd::~CHiddenSoundWnd() {
  m_clip.Close();
  m_player.reset();
  DeleteTemporarySound();
}

void CHiddenSoundWnd::Release() {
  m_clip.Close();
  if (m_player) LogStep("release player");
  m_player.reset();
}

bool CHiddenSoundWnd::Create() {
  if (Exists()) return true;
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  if (!GetClassInfoA(instance, kClassName, &wc)) {
    wc = WNDCLASSA{};
    wc.lpfnWndProc = &CHiddenSoundWnd::WindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc)) return false;
  }
  m_hWnd = CreateWindowExA(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE, kClassName, "", WS_POPUP, -1, -1, 1, 1,
                           GetDesktopWindow(), nullptr, instance, this);
  return m_hWnd != nullptr;
}

void CHiddenSoundWnd::DestroyWindow() {
  if (Exists()) ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

LRESULT CALLBACK CHiddenSoundWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CHiddenSoundWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_hWnd = hwnd;
  }
  auto* self = reinterpret_cast<CHiddenSoundWnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CHiddenSoundWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      m_nTimer = SetTimer(m_hWnd, kLoopTimer, kLoopTimerMs, nullptr);
      return 0;
    case WM_TIMER:
      if (!m_bUseClip && m_player && m_nLoop) m_player->LoopCheck();
      return 0;
    case MM_MCINOTIFY:
      if (wParam == MCI_NOTIFY_FAILURE && m_player) m_player->Stop();
      return 0;
    case WM_DESTROY:
      if (m_nTimer) KillTimer(m_hWnd, m_nTimer);
      m_nTimer = 0;
      if (m_bUseClip) m_clip.Close();
      else if (m_player) m_player->Stop();
      break;
  }
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

bool CHiddenSoundWnd::OpenMedia(const std::string& path) {
  m_clip.Close();
  m_bUseClip = false;
  if (PlaysFromMemory(path, SoundFileSize(path))) {
    m_clip.LoadFile(path);
    m_bUseClip = true;
    return true;
  }
  m_player.reset();
  if (!IsPlayerControlAvailable()) return false;
  m_player = std::make_unique<CWinMedia>(ControlFactoryInstance(), ProbedGeneration());
  m_player->SetLoop(m_nLoop);
  if (!m_player->Open(path)) {
    m_player.reset();
    return false;
  }
  return true;
}

bool CHiddenSoundWnd::Play() {
  if (m_bUseClip) return m_clip.Play(m_nLoop != 0) != nullptr;
  if (!m_player) return false;
  m_player->Play();
  return true;
}

void SoundStop() {
  CHiddenSoundWnd& wnd = HiddenSoundWnd();
  if (wnd.Exists()) {
    wnd.DestroyWindow();
    // The control holds the file open until it is released; Windows refuses to delete
    // a file in use.
    wnd.Release();
    DeleteTemporarySound();
  }
}

bool SoundPlayFile(const std::string& path, bool loop, bool forgetTemporary) {
  SoundStop();
  if (forgetTemporary) DeleteTemporarySound();
  CHiddenSoundWnd& wnd = HiddenSoundWnd();
  if (!wnd.Create()) return false;
  wnd.SetLoop(loop ? 1 : 0);
  if (!wnd.OpenMedia(path)) return false;
  wnd.Play();
  return true;
}

bool SoundPlayBlock(std::span<const uint8_t> bytes, bool loop, const std::string& extension) {
  SoundStop();
  // A fresh name with the sound's extension, written in pieces of at most 32767 bytes.
  const std::string path = WriteBlockToTempFile(bytes.data(), bytes.size(), extension, TempFiles::NameForm::Direct);
  if (path.empty()) return false;
  DeleteTemporarySound();
  TempSoundPath = path;
  return SoundPlayFile(path, loop, false);
}

void SoundEndOfRun() {
  SoundStop();
  HiddenSoundWnd().Release();
  DeleteTemporarySound();
}

const std::string& TemporarySoundPath() { return TempSoundPath; }

void SetSoundStepLog(std::function<void(const std::string&)> log) { StepLog = std::move(log); }

}  // namespace qv
