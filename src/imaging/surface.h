// CDibKSV: a picture surface at the screen's depth (8 bits through the application
// palette, 16 as 5-5-5, or 32 as blue, green, red and a spare byte), held in one packed
// DIB block. The scene's back buffer and background are such surfaces and every sprite
// is one; Blit composites a rectangle of one surface into another.
#pragma once
#include <cstdint>

#include "imaging/blit.h"
#include "imaging/imaging_platform.h"
#include "base/geometry.h"

namespace qv {

// The surface depth for a screen depth: 15 or 16 give 16, 24 and more give 32, anything
// else 8.
int SurfaceDepthFor(int screenDepth);

class CDibKSV;

// One compositing request: the rectangle (srcX, srcY, width, height) of the source
// surface into dest at (destX, destY), clipped to both surfaces. The defaults make a
// plain copy; the fields below them say how the source's pixels are laid over dest's.
struct BlitRequest {
  CDibKSV* dest = nullptr;
  int destX = 0, destY = 0;
  int width = 0, height = 0;
  int srcX = 0, srcY = 0;
  // kNoKey for none, else a palette index | 0x01000000 at 8 bits, or any other value at
  // 16 and 32 bits, where prepared pictures carry the markers.
  int32_t key = kNoKey;
  int opacity = 100;  // 0..100
  // One byte per pixel of the source surface, bottom-up rows of the surface's width.
  const uint8_t* mask = nullptr;
  bool solidBack = false;  // masked pixels fall back to backColor, not the destination
  uint32_t backColor = 0;  // 0x00BBGGRR
  // A surface of dest's size and depth holding the pixels to composite over; the result
  // goes to dest, which is only written. None (or dest itself): over dest's own pixels.
  CDibKSV* under = nullptr;
};

class CDibKSV {
 public:
  CDibKSV();                        // depth from ScreenDepth()
  explicit CDibKSV(int depth);      // depth chosen by the caller (tools, tests)
  CDibKSV(const CDibKSV&) = delete;
  CDibKSV& operator=(const CDibKSV&) = delete;
  virtual ~CDibKSV();

  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual Rect32 GetRect() const { return Rect32{0, 0, GetWidth(), GetHeight()}; }
  // A new block of width x height at the surface's depth (pixels not initialised).
  virtual bool Create(int width, int height);
  // 8 bits: a palette is all that is needed, the pixels already hold its indices.
  virtual bool MapToPalette(PaletteHandle palette) { return m_nDepth == 8 && palette; }

  // Takes a picture: depth 8 keeps an 8-bit block with a full colour table as it is,
  // depth 16 and 32 store its conversion and free the given block. False (and the block
  // freed) when the picture does not fit the surface.
  bool SetFromDib(DibHandle block);
  // Takes a block already laid out at the surface's depth (a prepared sprite picture).
  void AttachPrepared(DibHandle block) { ReplaceBlock(block); }

  int Depth() const { return m_nDepth; }
  DibHandle Block() const { return m_hBlock; }
  int RowBytes() const;
  // y counted from the top; none outside the surface (negative coordinates included).
  uint8_t* PixelAddress(int x, int y);
  uint32_t GetPixelValue(int x, int y);
  // 8 bits only: the colour table and its entry count.
  uint8_t* ColorTable();
  int ColorCount();

  // Keeps the block locked across many operations (the back buffer during a frame).
  uint8_t* Lock();
  void Unlock();
  bool IsLocked() const { return m_pBits != nullptr; }

  // Composites a rectangle of this surface into another (see BlitRequest). Returns the
  // rectangle of the destination written (empty when nothing was, e.g. an under of
  // another size).
  virtual Rect32 Blit(const BlitRequest& request);

 protected:
  void ReplaceBlock(DibHandle block);

 private:
  // Locks for the length of one call unless the surface is already locked.
  class Pin;

  int m_nDepth;
  DibHandle m_hBlock = nullptr;
  uint8_t* m_pBits = nullptr;  // the locked address while locked
};

// A new 16-bit (5-5-5) or 32-bit (blue, green, red, 255) block from a 1, 4, 8 or 24-bit
// picture; none for other depths or an unusable block.
DibHandle DibToRgb555(DibHandle block);
DibHandle DibToBgra32(DibHandle block);

}  // namespace qv
