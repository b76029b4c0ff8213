// The saver's background sound: a short wave file from memory through a WaveClip, or
// any other sound or music file through the media-player control (CWinMedia), which
// lives in a hidden window created while such a sound plays. That window's 100 ms timer
// runs the player's loop check. The module operations stop the sound, play a file, and
// play embedded bytes through a temporary file that the next stop deletes.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "media/wave_clip.h"
#include "media/win_media.h"

namespace qv {

class CHiddenSoundWnd {
 public:
  CHiddenSoundWnd() = default;
  ~CHiddenSoundWnd();
  CHiddenSoundWnd(const CHiddenSoundWnd&) = delete;
  CHiddenSoundWnd& operator=(const CHiddenSoundWnd&) = delete;

  bool Create();
  bool Exists() const { return m_hWnd && IsWindow(m_hWnd); }
  void DestroyWindow();
  bool OpenMedia(const std::string& path);
  bool Play();
  void SetLoop(int loop) { m_nLoop = loop; }
  // Closes the clip and releases the player while COM is still up (the run's end).
  void Release();

  HWND GetSafeHwnd() const { return m_hWnd; }
  bool UsesClip() const { return m_bUseClip; }
  CWinMedia* Player() const { return m_player.get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
  std::unique_ptr<CWinMedia> m_player;
  WaveClip m_clip;
  bool m_bUseClip = false;
  int m_nLoop = 1;
  UINT_PTR m_nTimer = 0;
};

// The one hidden sound window of the process.
CHiddenSoundWnd& HiddenSoundWnd();

void SoundStop();
bool SoundPlayFile(const std::string& path, bool loop, bool forgetTemporary);
bool SoundPlayBlock(std::span<const uint8_t> bytes, bool loop, const std::string& extension);
// A sound file's size; 0 for a missing file or a folder.
uint64_t SoundFileSize(const std::string& path);
// The run's end: any sound stopped, the player released, the temporary file deleted.
void SoundEndOfRun();
// The temporary file the last SoundPlayBlock wrote; empty when none exists.
const std::string& TemporarySoundPath();
// Test diagnostic: told of each player released and each temporary file deleted, in
// order ("release player", "delete <path>"); none when empty.
void SetSoundStepLog(std::function<void(const std::string&)> log);

}  // namespace qv
