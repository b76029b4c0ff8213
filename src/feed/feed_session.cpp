#include "feed/feed_session.h"

#include <algorithm>

namespace qv {

void FeedCancel::Cancel() {
  std::vector<Armed> run;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    m_bCancelled.store(true, std::memory_order_release);
    run.swap(m_armed);
    for (const Armed& a : run) m_interrupted.push_back(a.token);
    // Run under the lock: Disarm waits for an interrupter that is running, so the call's
    // owner never frees what the interrupter is still closing.
    for (Armed& a : run) a.interrupt();
  }
}

FeedCancel::Token FeedCancel::Arm(std::function<void()> interrupt) {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_bCancelled.load(std::memory_order_relaxed)) return 0;
  const Token token = m_nextToken++;
  m_armed.push_back({token, std::move(interrupt)});
  return token;
}

bool FeedCancel::Disarm(Token token) {
  if (token == 0) return false;
  std::lock_guard<std::mutex> guard(m_lock);
  const auto armed = std::find_if(m_armed.begin(), m_armed.end(), [token](const Armed& a) { return a.token == token; });
  if (armed != m_armed.end()) {
    m_armed.erase(armed);
    return false;
  }
  const auto ran = std::find(m_interrupted.begin(), m_interrupted.end(), token);
  if (ran == m_interrupted.end()) return false;
  m_interrupted.erase(ran);
  return true;
}

uint32_t FeedDeadline::MsLeft() const {
  if (m_cancel.Cancelled()) return 0;
  const uint64_t now = m_clock();
  return now >= m_end ? 0 : static_cast<uint32_t>(std::min<uint64_t>(m_end - now, UINT32_MAX));
}

}  // namespace qv
