// Window-message, command and power-event numbers the saver's input rules depend on.
// They carry the values Windows gives them, so the portable rules can be tested
// natively; the Win32 layer checks each against <windows.h> at compile time.
#pragma once
#include <cstdint>

namespace qv::msg {
inline constexpr uint32_t kCreate = 0x0001;
inline constexpr uint32_t kDestroy = 0x0002;
inline constexpr uint32_t kSetText = 0x000C;
inline constexpr uint32_t kPaint = 0x000F;
inline constexpr uint32_t kClose = 0x0010;
inline constexpr uint32_t kShowWindow = 0x0018;
inline constexpr uint32_t kActivateApp = 0x001C;
inline constexpr uint32_t kSetCursor = 0x0020;
inline constexpr uint32_t kPower = 0x0048;
inline constexpr uint32_t kHelp = 0x0053;
inline constexpr uint32_t kContextMenu = 0x007B;
inline constexpr uint32_t kKeyDown = 0x0100;
inline constexpr uint32_t kSysKeyDown = 0x0104;
inline constexpr uint32_t kSysCommand = 0x0112;
inline constexpr uint32_t kTimer = 0x0113;
inline constexpr uint32_t kMouseMove = 0x0200;
inline constexpr uint32_t kLButtonDown = 0x0201;
inline constexpr uint32_t kRButtonDown = 0x0204;
inline constexpr uint32_t kMButtonDown = 0x0207;
inline constexpr uint32_t kPowerBroadcast = 0x0218;
inline constexpr uint32_t kUser = 0x0400;
inline constexpr uint32_t kApp = 0x8000;

// Sent by the shell to its own window to run the legacy password routine.
inline constexpr uint32_t kVerifyPasswordRequest = kApp;
// Posted by the run to itself to enter the full-screen frame loop.
inline constexpr uint32_t kSceneStartMessage = kUser + 1;
}  // namespace qv::msg

namespace qv::syscmd {
inline constexpr uint32_t kNextWindow = 0xF040;
inline constexpr uint32_t kPrevWindow = 0xF050;
inline constexpr uint32_t kScreenSave = 0xF140;
inline constexpr uint32_t kMonitorPower = 0xF170;
}  // namespace qv::syscmd

namespace qv::power {
inline constexpr uint32_t kCriticalResume = 3;  // WM_POWER's PWR_CRITICALRESUME
inline constexpr uint32_t kQuerySuspend = 0;
inline constexpr uint32_t kQueryStandby = 1;
inline constexpr uint32_t kStandby = 5;
inline constexpr uint32_t kResumeCritical = 6;
inline constexpr uint32_t kResumeStandby = 8;
inline constexpr uint32_t kPowerStatusChange = 10;
inline constexpr uint32_t kResumeAutomatic = 18;
inline constexpr uint32_t kPowerSettingChange = 0x8013;
}  // namespace qv::power

namespace qv::vk {
inline constexpr uint32_t kSpace = 0x20;
inline constexpr uint32_t kEnd = 0x23;
inline constexpr uint32_t kHome = 0x24;
inline constexpr uint32_t kLeft = 0x25;
inline constexpr uint32_t kUp = 0x26;
inline constexpr uint32_t kRight = 0x27;
inline constexpr uint32_t kDown = 0x28;
inline constexpr uint32_t kF2 = 0x71;
}  // namespace qv::vk
