#include "media/win_media.h"

#include <cmath>
#include <limits>

namespace qv {

namespace {
// Newer control: members of the player and of its settings, controls, media and error
// objects.
namespace newer {
constexpr int32_t kURL = 1, kControls = 4, kSettings = 5, kCurrentMedia = 6, kError = 17;
constexpr int32_t kEnableContextMenu = 22, kUiMode = 23;
constexpr int32_t kAutoStart = 101, kBalance = 102, kPlayCount = 105, kVolume = 107, kSetMode = 111;
constexpr int32_t kPlay = 51, kStop = 52, kPause = 53, kCurrentPosition = 56;
constexpr int32_t kDuration = 757, kErrorCount = 852;
}  // namespace newer
// Older control: every member on the control itself.
namespace older {
constexpr int32_t kPlayCount = 1030, kFileName = 1026, kOpenFailed = 1065, kDuration = 1003;
constexpr int32_t kCurrentPosition = 1027, kPlay = 2001, kPause = 2002, kStop = 2003;
}  // namespace older

// Doubles from the control truncated toward zero, kept inside 32 bits.
int32_t Truncate(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}
template <class... T>
std::vector<DispatchValue> Args(T&&... values) {
  std::vector<DispatchValue> args;
  (args.push_back(std::forward<T>(values)), ...);
  return args;
}

int32_t Times1000(int32_t seconds) {
  const int64_t ms = static_cast<int64_t>(seconds) * 1000;
  return ms > INT32_MAX ? INT32_MAX : ms < INT32_MIN ? INT32_MIN : static_cast<int32_t>(ms);
}
}  // namespace

bool CSound::Open(const std::string& path) {
  m_strPath = path;
  m_bOpen = 1;
  return false;
}

bool CWinMedia::Call(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) {
  return m_control && m_control->Invoke(id, kind, std::move(args), result);
}

bool CWinMedia::CallOn(int32_t member, int32_t id, DispatchKind kind, std::vector<DispatchValue> args,
                       DispatchValue* result) {
  DispatchValue object;
  if (!Call(member, DispatchKind::Get, {}, &object) || !object.object) return false;
  return object.object->Invoke(id, kind, std::move(args), result);
}

bool CWinMedia::Open(const std::string& path) {
  m_strPath = path;
  m_bOpen = 1;
  m_control = m_factory.CreateControl(m_generation);
  if (!m_control) return false;
  if (!(Newer() ? OpenNewer() : OpenOlder())) return false;
  m_nDurationMs = Times1000(m_nDurationSeconds);
  return true;
}

bool CWinMedia::OpenNewer() {
  using namespace newer;
  using V = DispatchValue;
  const bool loop = m_nLoop != 0;
  CallOn(kSettings, kVolume, DispatchKind::Put, Args(V::Int(100)));
  CallOn(kSettings, kBalance, DispatchKind::Put, Args(V::Int(0)));
  Call(kUiMode, DispatchKind::Put, Args(V::String("none")));
  Call(kEnableContextMenu, DispatchKind::Put, Args(V::Bool(false)));
  CallOn(kSettings, kSetMode, DispatchKind::Method, Args(V::String("loop"), V::Bool(loop)));
  CallOn(kSettings, kSetMode, DispatchKind::Method, Args(V::String("autoRewind"), V::Bool(false)));
  CallOn(kSettings, kAutoStart, DispatchKind::Put, Args(V::Bool(false)));
  CallOn(kSettings, kPlayCount, DispatchKind::Put, Args(V::Int(loop ? 0 : 1)));
  Call(kURL, DispatchKind::Put, Args(V::String(m_strPath)));
  DispatchValue errors;
  if (CallOn(kError, kErrorCount, DispatchKind::Get, {}, &errors) && errors.i != 0) return false;
  m_nDurationSeconds = Truncate(ReadDuration());
  return true;
}

bool CWinMedia::OpenOlder() {
  using V = DispatchValue;
  struct Put {
    int32_t id;
    V (*value)(const CWinMedia&);
  };
  static const Put kPuts[] = {
      {19, [](const CWinMedia&) { return V::Int(100); }},
      {20, [](const CWinMedia&) { return V::Int(0); }},
      {23, [](const CWinMedia&) { return V::Bool(false); }},
      {1013, [](const CWinMedia&) { return V::Bool(true); }},
      {1014, [](const CWinMedia&) { return V::Bool(true); }},
      {1069, [](const CWinMedia&) { return V::Bool(true); }},
      {1064, [](const CWinMedia&) { return V::Bool(false); }},
      {1063, [](const CWinMedia&) { return V::Bool(false); }},
      {1017, [](const CWinMedia&) { return V::Bool(false); }},
      {older::kPlayCount, [](const CWinMedia& m) { return V::Int(m.m_nLoop ? 0 : 1); }},
      {older::kFileName, [](const CWinMedia& m) { return V::String(m.m_strPath); }},
  };
  for (const Put& put : kPuts) Call(put.id, DispatchKind::Put, Args(put.value(*this)));
  DispatchValue failed;
  if (Call(older::kOpenFailed, DispatchKind::Get, {}, &failed) && failed.b) return false;
  m_nDurationSeconds = Truncate(ReadDuration());
  return true;
}

double CWinMedia::ReadDuration() {
  DispatchValue v;
  const bool ok = Newer() ? CallOn(newer::kCurrentMedia, newer::kDuration, DispatchKind::Get, {}, &v)
                          : Call(older::kDuration, DispatchKind::Get, {}, &v);
  return ok && v.type == DispatchValue::Type::Double ? v.d : 0;
}

double CWinMedia::ReadPosition() {
  DispatchValue v;
  const bool ok = Newer() ? CallOn(newer::kControls, newer::kCurrentPosition, DispatchKind::Get, {}, &v)
                          : Call(older::kCurrentPosition, DispatchKind::Get, {}, &v);
  return ok && v.type == DispatchValue::Type::Double ? v.d : 0;
}

void CWinMedia::PutPosition(double seconds) {
  if (Newer()) CallOn(newer::kControls, newer::kCurrentPosition, DispatchKind::Put, Args(DispatchValue::Double(seconds)));
  else Call(older::kCurrentPosition, DispatchKind::Put, Args(DispatchValue::Double(seconds)));
}

void CWinMedia::Transport(int32_t newerId, int32_t olderId) {
  if (Newer()) CallOn(newer::kControls, newerId, DispatchKind::Method);
  else Call(olderId, DispatchKind::Method);
}

bool CWinMedia::Play() {
  Transport(newer::kPlay, older::kPlay);
  return true;
}

void CWinMedia::Pause() { Transport(newer::kPause, older::kPause); }

void CWinMedia::Stop() {
  Transport(newer::kStop, older::kStop);
  Seek(0);  // rewinds only once the duration is known
}

void CWinMedia::Seek(int32_t seconds) {
  if (m_nDurationSeconds == 0) return;
  m_nPositionSeconds = seconds;
  int32_t ms = Times1000(seconds);
  if (ms > m_nDurationMs) ms = m_nDurationMs;
  if (ms < 0) ms = 0;
  m_nPositionMs = ms;
  PutPosition(static_cast<double>(ms / 1000));
  if (m_nPositionMs >= m_nDurationMs) Pause();
}

void CWinMedia::SetLoop(int32_t flag) {
  m_nLoop = flag;
  using V = DispatchValue;
  if (Newer()) {
    CallOn(newer::kSettings, newer::kSetMode, DispatchKind::Method, Args(V::String("loop"), V::Bool(flag != 0)));
    CallOn(newer::kSettings, newer::kPlayCount, DispatchKind::Put, Args(V::Int(flag ? 0 : 1)));
  } else {
    Call(older::kPlayCount, DispatchKind::Put, Args(V::Int(flag ? 0 : 1)));
  }
}

void CWinMedia::GoToEnd() {
  if (m_nDurationSeconds != 0) Seek(m_nDurationSeconds);
}

void CWinMedia::ReadPositionMs() {
  m_nPositionMs = PositionMs();
  m_nPositionSeconds = m_nPositionMs / 1000;
}

void CWinMedia::StepForward() {
  ReadPositionMs();
  Seek(m_nDurationSeconds / 10 + m_nPositionMs / 1000);
}

void CWinMedia::StepBack() {
  ReadPositionMs();
  Seek(m_nPositionMs / 1000 - m_nDurationSeconds / 10);
}

int32_t CWinMedia::DurationSeconds() {
  const int32_t d = Truncate(ReadDuration());
  if (d <= 1) return 1;
  m_nDurationSeconds = d;
  m_nDurationMs = Times1000(d);
  return d;
}

int32_t CWinMedia::PositionSeconds() { return Truncate(ReadPosition()); }

bool CWinMedia::AtEnd() {
  if (m_nDurationSeconds == 0) return false;
  ReadPositionMs();
  return m_nPositionMs >= m_nDurationMs;
}

std::string CWinMedia::FileName() {
  const size_t slash = m_strPath.rfind('\\');
  return slash == std::string::npos ? m_strPath : m_strPath.substr(slash + 1);
}

// The control's own title is not asked for; the file name without its extension.
std::string CWinMedia::Title() {
  std::string name = FileName();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

int32_t CWinMedia::DurationMs() { return Truncate(ReadDuration() * 1000); }

int32_t CWinMedia::PositionMs() { return Truncate(ReadPosition() * 1000); }

void CWinMedia::LoopCheck() {
  if (m_nDurationSeconds == 0) {
    m_nDurationSeconds = Truncate(ReadDuration());
    m_nDurationMs = Times1000(m_nDurationSeconds);
  }
  if (m_nDurationSeconds != 0 && PositionMs() >= m_nDurationMs) {
    PutPosition(0);
    Play();
  }
}

}  // namespace qv
