// CSound, the abstract media file, and CWinMedia, its one implementation: a sound or
// music file played by the media-player control through dispatch members (open, play,
// pause, stop, seek, loop, duration and position). The control is made by a
// ControlFactory, so the rules here run over a recording fake in the tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "media/media_dispatch.h"

namespace qv {

class CSound {
 public:
  virtual ~CSound() = default;
  // The base operations do nothing and report nothing, except that open records the
  // path and marks the object open.
  virtual bool Open(const std::string& path);        // slot 0
  virtual void Close() { m_bOpen = 0; }              // 1
  virtual void Rewind() {}                           // 2
  virtual void GoToEnd() {}                          // 3
  virtual void StepForward() {}                      // 4
  virtual void StepBack() {}                         // 5
  virtual bool Play() { return false; }              // 6
  virtual void Pause() {}                            // 7
  virtual void Stop() {}                             // 8
  virtual int32_t DurationSeconds() { return 0; }    // 9
  virtual int32_t PositionSeconds() { return 0; }    // 10
  virtual bool AtEnd() { return false; }             // 11
  virtual std::string FileName() { return {}; }      // 12
  virtual std::string Title() { return {}; }         // 13
  virtual std::string Artist() { return {}; }        // 14
  virtual std::string Reserved() { return {}; }      // 15
  virtual void Seek(int32_t /*seconds*/) {}          // 16
  virtual void SetLoop(int32_t flag) { m_nLoop = flag; }  // 17
  virtual int32_t DurationMs() { return 0; }         // 18
  virtual int32_t PositionMs() { return 0; }         // 19

  int32_t IsOpen() const { return m_bOpen; }
  int32_t Loop() const { return m_nLoop; }
  const std::string& Path() const { return m_strPath; }

 protected:
  int32_t m_bOpen = 0;
  std::string m_strPath;
  int32_t m_nLoop = 0;
};

class CWinMedia final : public CSound {
 public:
  CWinMedia(ControlFactory& factory, ControlGeneration generation)
      : m_factory(factory), m_generation(generation) {}

  bool Open(const std::string& path) override;
  void Close() override { m_bOpen = 0; }
  void Rewind() override { Seek(0); }
  void GoToEnd() override;
  void StepForward() override;
  void StepBack() override;
  bool Play() override;
  void Pause() override;
  void Stop() override;
  int32_t DurationSeconds() override;
  int32_t PositionSeconds() override;
  bool AtEnd() override;
  std::string FileName() override;
  std::string Title() override;
  void Seek(int32_t seconds) override;
  void SetLoop(int32_t flag) override;
  int32_t DurationMs() override;
  int32_t PositionMs() override;
  // Restarts a looping file that has reached its end; run every 100 ms while looping
  // and when the older control reports that it stopped.
  void LoopCheck();

  int32_t StoredDurationSeconds() const { return m_nDurationSeconds; }
  int32_t StoredDurationMs() const { return m_nDurationMs; }
  int32_t StoredPositionMs() const { return m_nPositionMs; }
  bool Newer() const { return m_generation == ControlGeneration::Newer; }

 private:
  bool OpenNewer();
  bool OpenOlder();
  // A call on the control itself, or on one of its object members (fetched for this one
  // call and released after it).
  bool Call(int32_t id, DispatchKind kind, std::vector<DispatchValue> args = {}, DispatchValue* result = nullptr);
  bool CallOn(int32_t member, int32_t id, DispatchKind kind, std::vector<DispatchValue> args = {},
              DispatchValue* result = nullptr);
  void Transport(int32_t newerId, int32_t olderId);
  double ReadDuration();  // seconds; 0 when unreadable
  double ReadPosition();
  void PutPosition(double seconds);
  void ReadPositionMs();  // stores slot 19 as positionMs and positionSeconds

  ControlFactory& m_factory;
  ControlGeneration m_generation;
  std::unique_ptr<MediaDispatch> m_control;
  int32_t m_nDurationSeconds = 0, m_nPositionSeconds = 0, m_nDurationMs = 0, m_nPositionMs = 0;
};

}  // namespace qv
