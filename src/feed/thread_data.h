// The record handed to the feed thread. It lives as long as the process, so it outlives
// the thread; `delivered` is the hand-over flag between the two threads.
#pragma once
#include <atomic>
#include <string>

namespace qv {

class CRssChannel;

struct CThreadData {
  std::string m_strAddresses;          // one address, or several separated by ';'
  CRssChannel* m_pChannel = nullptr;   // filled by the thread before delivered becomes 1
  // 0 nothing yet, 1 items delivered (release by the thread), 2 handed to the scene.
  std::atomic<int> m_nDelivered{0};
  std::atomic<int> m_nFinished{0};
};

}  // namespace qv
