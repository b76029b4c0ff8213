// The feed thread and its fetching on Windows: local files, the download-to-cache
// service, the Internet client library (both loaded by name at first use) and a small
// HTTP client over sockets, each bounded in size and time and each interruptible from
// the user-interface thread. The thread and its fetches read nothing but their session.
#pragma once
#include <memory>
#include <string>

#include "base/win32/win32_handles.h"
#include "feed/feed_session.h"

namespace qv {

// -1 when there is no setting, else the autodial state; the state written back.
int GetAutodialState();
void SetAutodialState(int state);

// The run's feed thread and the session it shares with it. Used on the user-interface
// thread only.
class FeedThread {
 public:
  FeedThread() = default;
  FeedThread(const FeedThread&) = delete;
  FeedThread& operator=(const FeedThread&) = delete;
  ~FeedThread();

  // A new session for the thread; fill it, then Start it.
  std::shared_ptr<FeedSession> NewSession();
  // Starts the thread over the session NewSession gave. False when it could not start
  // (the session stays, with nothing delivered).
  bool Start();
  // The session (record and channel) of the run; null before NewSession.
  const std::shared_ptr<FeedSession>& Session() const { return m_session; }

  // The run's end: cancels the session (every fetch under way is interrupted, no
  // further address is fetched), puts the autodial state back now, and waits at most
  // waitMs for the thread to end. True when no thread runs any more (a later Stop then
  // returns at once). Fetches the thread left behind may still run: they hold the
  // session, and nothing else.
  bool Stop(DWORD waitMs);
  // How many fetches are still under way (left behind by a stopped thread).
  int FetchesInFlight() const;
  // Releases the download-to-cache library unless a fetch still uses it.
  void ReleaseLibraries();

 private:
  std::shared_ptr<FeedSession> m_session;
  KernelHandle m_thread;
  bool m_bStopped = false;
};

}  // namespace qv
