// The imaging subsystem's seam to the platform: movable memory blocks for pictures, the
// screen's colour depth, palette objects and picture resources. The core asks through
// this table, which the installed CoreServices name (imaging/core_services.h); the Win32
// layer fills one with GlobalAlloc, GDI palettes and the module's resources
// (imaging/win32/imaging_win32.h), and a plain implementation serves the tests and the
// native tools.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/core_services.h"

namespace qv {

// One relocatable memory block. The holder locks it for each use, unlocks it afterwards
// and frees it exactly once; the address is only valid while the block is locked.
struct DibHandleTag;
using DibHandle = DibHandleTag*;

// A platform palette object (an HPALETTE on Windows).
struct PaletteHandleTag;
using PaletteHandle = PaletteHandleTag*;

struct PaletteEntry {
  uint8_t red = 0, green = 0, blue = 0, flags = 0;
  bool operator==(const PaletteEntry&) const = default;
};

// The record handed to the platform's palette creation: version 0x300 and the entries.
struct LogicalPalette {
  uint16_t version = 0x300;
  std::vector<PaletteEntry> entries;
};

struct ImagingPlatform {
  // Memory. alloc returns none on failure; resize works on an unlocked block, may move
  // it and returns the new handle (none on failure, the old one then stays valid).
  DibHandle (*alloc)(uint64_t size, bool zeroed);
  uint8_t* (*lock)(DibHandle block);
  void (*unlock)(DibHandle block);
  uint64_t (*size)(DibHandle block);
  DibHandle (*resize)(DibHandle block, uint64_t size);
  void (*free)(DibHandle block);
  // Planes x bits per pixel of the screen.
  int (*screenDepth)();
  // Palettes: create from a record (none on failure), delete, read the entries back,
  // and the identity set-up of a 256-colour palette display (0 elsewhere).
  PaletteHandle (*createPalette)(const LogicalPalette& palette);
  void (*deletePalette)(PaletteHandle palette);
  bool (*paletteEntries)(PaletteHandle palette, std::vector<PaletteEntry>* entries);
  int (*makeIdentity)(PaletteHandle* palette);
  // The bytes of the executable's resource of that type and name.
  bool (*loadResource)(const char* type, const char* name, std::vector<uint8_t>* bytes);
};

// The table of the installed services (the plain one when they name none).
const ImagingPlatform& CurrentImagingPlatform();
// The plain implementation: heap blocks, the services' plain screen depth, palette
// records kept in memory, resources from the services' plain table.
const ImagingPlatform& PlainImagingPlatform();

// --- Blocks ---------------------------------------------------------------------------

// Size and allocation failures give none. zeroed blocks start as zero bytes.
DibHandle DibAlloc(uint64_t size, bool zeroed);
uint8_t* DibLockBlock(DibHandle block);
void DibUnlockBlock(DibHandle block);
uint64_t DibBlockSize(DibHandle block);
// Grows or shrinks an unlocked block; none on failure (the old block stays valid).
DibHandle DibResizeBlock(DibHandle block, uint64_t size);
// Releases the block (nothing for none) and returns none, for "h = DibFree(h)".
DibHandle DibFree(DibHandle block);
// Blocks allocated and not yet freed, over the process; the tests check for leaks with it.
int64_t LiveDibBlocks();
// The largest block size asked for since the last reset (refused requests included); the
// tests check with it that hostile headers are refused before anything is allocated.
uint64_t LargestDibRequest();
void ResetLargestDibRequest();

// Locks a block for the life of the object.
class DibLock {
 public:
  explicit DibLock(DibHandle block) : m_block(block), m_data(block ? DibLockBlock(block) : nullptr) {
    if (m_data) m_size = DibBlockSize(block);
  }
  ~DibLock() {
    if (m_data) DibUnlockBlock(m_block);
  }
  DibLock(const DibLock&) = delete;
  DibLock& operator=(const DibLock&) = delete;
  explicit operator bool() const { return m_data != nullptr; }
  uint8_t* data() const { return m_data; }
  uint64_t size() const { return m_size; }

 private:
  DibHandle m_block;
  uint8_t* m_data;
  uint64_t m_size = 0;
};

// Owns a block until it is released to the caller; frees it otherwise.
class UniqueDib {
 public:
  UniqueDib() = default;
  explicit UniqueDib(DibHandle block) : m_block(block) {}
  ~UniqueDib() { DibFree(m_block); }
  UniqueDib(UniqueDib&& other) noexcept : m_block(other.release()) {}
  UniqueDib& operator=(UniqueDib&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  DibHandle get() const { return m_block; }
  DibHandle release() {
    DibHandle b = m_block;
    m_block = nullptr;
    return b;
  }
  void reset(DibHandle block = nullptr) {
    DibFree(m_block);
    m_block = block;
  }
  explicit operator bool() const { return m_block != nullptr; }

 private:
  DibHandle m_block = nullptr;
};

// --- Palettes ---------------------------------------------------------------------------

// A platform palette from the record (none on failure), and its deletion (nothing for
// none). CPalette holds them; these keep count of the live ones.
PaletteHandle CreatePlatformPalette(const LogicalPalette& palette);
void DeletePlatformPalette(PaletteHandle palette);
int64_t LivePlatformPalettes();

// --- Screen depth ---------------------------------------------------------------------

// The screen's colour depth, asked of the platform on the first call under the installed
// services and cached with them.
int ScreenDepth();

// Whether the picture decoders pass their library's warnings and errors to stderr (the
// services' switch; the fuzz targets turn it off).
bool PictureDecoderMessages();

}  // namespace qv
