#include "feed/autodial_guard.h"

namespace qv {

bool AutodialGuard::BeginFetch() {
  std::lock_guard<std::mutex> guard(m_lock);
  if (m_bEnded) return false;
  m_nSaved = m_store.Get();
  if (m_nSaved != -1) {
    m_store.Set(0);
    m_bSwitchedOff = true;
  }
  return true;
}

void AutodialGuard::EndFetch() {
  std::lock_guard<std::mutex> guard(m_lock);
  RestoreLocked();
}

void AutodialGuard::EndRun() {
  std::lock_guard<std::mutex> guard(m_lock);
  m_bEnded = true;
  RestoreLocked();
}

void AutodialGuard::RestoreLocked() {
  if (!m_bSwitchedOff) return;
  m_bSwitchedOff = false;
  m_store.Set(m_nSaved);
}

}  // namespace qv
