// The user's autodial switch while the feed is fetched. It is turned off for each network
// fetch and put back afterwards, exactly once: by the fetch when it returns in time, or
// by the run's end when a fetch is still under way then (the process may end before that
// fetch returns). After the run's end no fetch starts, so nothing turns it off again.
// Thread-safe: the fetches run on the feed thread, the run's end on the UI thread.
#pragma once
#include <mutex>

namespace qv {

// Where the state lives: -1 when there is no setting, else the state.
class AutodialStore {
 public:
  virtual ~AutodialStore() = default;
  virtual int Get() = 0;
  virtual void Set(int state) = 0;
};

class AutodialGuard {
 public:
  explicit AutodialGuard(AutodialStore& store) : m_store(store) {}

  // Before a network fetch: remembers the state and turns autodial off. False once the
  // run has ended: the fetch is not made.
  bool BeginFetch();
  // After the fetch: puts the remembered state back, unless the run's end already did.
  void EndFetch();
  // The run's end: no fetch begins after this, and a switch still off is put back now.
  void EndRun();

 private:
  void RestoreLocked();

  AutodialStore& m_store;
  std::mutex m_lock;
  int m_nSaved = -1;
  bool m_bSwitchedOff = false;
  bool m_bEnded = false;
};

}  // namespace qv
