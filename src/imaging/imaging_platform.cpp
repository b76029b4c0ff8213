#include "imaging/imaging_platform.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "imaging/core_services.h"
#include "imaging/picture_limits.h"

namespace qv {
namespace {

// --- Plain blocks: a small record that owns a heap buffer ----------------------------

struct PlainBlock {
  uint64_t size = 0;
  uint32_t locks = 0;
  uint8_t* data = nullptr;
};

PlainBlock* Plain(DibHandle h) { return reinterpret_cast<PlainBlock*>(h); }

DibHandle PlainAlloc(uint64_t size, bool zeroed) {
  if (size > kMaxBlockBytes) return nullptr;
  auto* b = new (std::nothrow) PlainBlock;
  if (!b) return nullptr;
  // One byte at least, so that a zero-size block still has an address to lock.
  const size_t n = size ? static_cast<size_t>(size) : 1;
  b->data = static_cast<uint8_t*>(zeroed ? std::calloc(n, 1) : std::malloc(n));
  if (!b->data) {
    delete b;
    return nullptr;
  }
  b->size = size;
  return reinterpret_cast<DibHandle>(b);
}

uint8_t* PlainLock(DibHandle h) {
  PlainBlock* b = Plain(h);
  if (Services().plainBlockRelocation && b->locks == 0) {
    const size_t n = b->size ? static_cast<size_t>(b->size) : 1;
    if (auto* moved = static_cast<uint8_t*>(std::malloc(n))) {
      std::memcpy(moved, b->data, n);
      std::free(b->data);
      b->data = moved;
    }
  }
  ++b->locks;
  return b->data;
}

void PlainUnlock(DibHandle h) {
  PlainBlock* b = Plain(h);
  if (b->locks) --b->locks;
}

uint64_t PlainSize(DibHandle h) { return Plain(h)->size; }

DibHandle PlainResize(DibHandle h, uint64_t size) {
  PlainBlock* b = Plain(h);
  if (b->locks || size > kMaxBlockBytes) return nullptr;
  const size_t n = size ? static_cast<size_t>(size) : 1;
  auto* grown = static_cast<uint8_t*>(std::realloc(b->data, n));
  if (!grown) return nullptr;
  b->data = grown;
  b->size = size;
  return h;
}

void PlainFreeBlock(DibHandle h) {
  PlainBlock* b = Plain(h);
  std::free(b->data);
  delete b;
}

// --- Plain screen, palettes and resources --------------------------------------------

int PlainScreenDepth() { return Services().plainScreenDepth; }

PaletteHandle PlainCreatePalette(const LogicalPalette& palette) {
  if (palette.entries.empty() || palette.entries.size() > 65535) return nullptr;
  auto* copy = new (std::nothrow) LogicalPalette(palette);
  return reinterpret_cast<PaletteHandle>(copy);
}

void PlainDeletePalette(PaletteHandle palette) { delete reinterpret_cast<LogicalPalette*>(palette); }

bool PlainPaletteEntries(PaletteHandle palette, std::vector<PaletteEntry>* entries) {
  if (!palette) return false;
  *entries = reinterpret_cast<LogicalPalette*>(palette)->entries;
  return true;
}

// There is no palette display here.
int PlainMakeIdentity(PaletteHandle*) { return 0; }

bool PlainLoadResource(const char* type, const char* name, std::vector<uint8_t>* bytes) {
  const auto& table = Services().plainResources;
  auto it = table.find({type, name});
  if (it == table.end()) return false;
  *bytes = it->second;
  return true;
}

const ImagingPlatform kPlain = {
    PlainAlloc,         PlainLock,          PlainUnlock,         PlainSize,
    PlainResize,        PlainFreeBlock,     PlainScreenDepth,    PlainCreatePalette,
    PlainDeletePalette, PlainPaletteEntries, PlainMakeIdentity, PlainLoadResource,
};

// Counts over the process, for the leak checks and the allocation guards of the tests.
std::atomic<int64_t> g_live{0};
std::atomic<uint64_t> g_largestRequest{0};
std::atomic<int64_t> g_livePalettes{0};

}  // namespace

const ImagingPlatform& CurrentImagingPlatform() {
  const ImagingPlatform* installed = Services().imaging;
  return installed ? *installed : kPlain;
}
const ImagingPlatform& PlainImagingPlatform() { return kPlain; }

DibHandle DibAlloc(uint64_t size, bool zeroed) {
  if (size > g_largestRequest.load()) g_largestRequest = size;
  if (size > kMaxBlockBytes) return nullptr;
  DibHandle h = CurrentImagingPlatform().alloc(size, zeroed);
  if (h) ++g_live;
  return h;
}

uint8_t* DibLockBlock(DibHandle block) { return block ? CurrentImagingPlatform().lock(block) : nullptr; }

void DibUnlockBlock(DibHandle block) {
  if (block) CurrentImagingPlatform().unlock(block);
}

uint64_t DibBlockSize(DibHandle block) { return block ? CurrentImagingPlatform().size(block) : 0; }

DibHandle DibResizeBlock(DibHandle block, uint64_t size) {
  if (size > g_largestRequest.load()) g_largestRequest = size;
  if (!block || size > kMaxBlockBytes) return nullptr;
  return CurrentImagingPlatform().resize(block, size);
}

DibHandle DibFree(DibHandle block) {
  if (block) {
    CurrentImagingPlatform().free(block);
    --g_live;
  }
  return nullptr;
}

int64_t LiveDibBlocks() { return g_live.load(); }
uint64_t LargestDibRequest() { return g_largestRequest.load(); }
void ResetLargestDibRequest() { g_largestRequest = 0; }

PaletteHandle CreatePlatformPalette(const LogicalPalette& palette) {
  PaletteHandle h = CurrentImagingPlatform().createPalette(palette);
  if (h) ++g_livePalettes;
  return h;
}

void DeletePlatformPalette(PaletteHandle palette) {
  if (!palette) return;
  CurrentImagingPlatform().deletePalette(palette);
  --g_livePalettes;
}

int64_t LivePlatformPalettes() { return g_livePalettes.load(); }

int ScreenDepth() {
  const CoreServices& services = Services();
  if (services.screenDepthCache == 0) services.screenDepthCache = CurrentImagingPlatform().screenDepth();
  return services.screenDepthCache;
}

bool PictureDecoderMessages() { return Services().pictureDecoderMessages; }

}  // namespace qv
