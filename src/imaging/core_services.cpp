#include "imaging/core_services.h"

#include "imaging/imaging_platform.h"

namespace qv {

namespace {

const CoreServices* g_current = nullptr;

// What InstallCoreServices installed; the plain services until then.
CoreServices& ProcessServices() {
  static CoreServices services;
  return services;
}

// A change of imaging platform under live blocks or palettes would free them with the
// wrong platform later.
bool MayInstall(const CoreServices& next) {
  if (next.imaging == Services().imaging) return true;
  return LiveDibBlocks() == 0 && LivePlatformPalettes() == 0;
}

}  // namespace

const CoreServices& Services() { return g_current ? *g_current : ProcessServices(); }

bool InstallCoreServices(const CoreServices& services) {
  if (!MayInstall(services)) return false;
  CoreServices& process = ProcessServices();
  process = services;
  process.screenDepthCache = 0;
  g_current = &process;
  return true;
}

ScopedCoreServices::ScopedCoreServices(CoreServices services) : m_services(std::move(services)) {
  m_services.screenDepthCache = 0;
  if (!MayInstall(m_services)) return;
  m_previous = &Services();
  g_current = &m_services;
}

ScopedCoreServices::~ScopedCoreServices() {
  if (m_previous) g_current = m_previous;
}

}  // namespace qv
