// Palettes: the framework's palette object (a platform palette behind a handle), the
// application's 256-colour palette used when the screen has 8 bits per pixel, the palette
// class the scene window uses for identity mapping, and the error-diffusion quantiser that
// maps pictures onto the application palette's layout.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/imaging_platform.h"

namespace qv {

// Owns one platform palette (or none).
class CPalette {
 public:
  CPalette() = default;
  virtual ~CPalette() { DeleteObject(); }
  CPalette(const CPalette&) = delete;
  CPalette& operator=(const CPalette&) = delete;

  // Replaces the palette by one made from the record; false when the platform refuses.
  bool CreatePalette(const LogicalPalette& palette);
  // Takes ownership of a platform palette, deleting the current one.
  void Attach(PaletteHandle palette);
  PaletteHandle Detach();
  void DeleteObject();
  PaletteHandle GetSafeHandle() const { return m_hPalette; }
  // The entries as the platform holds them; empty when there is no palette.
  std::vector<PaletteEntry> GetEntries() const;

 protected:
  PaletteHandle m_hPalette = nullptr;
};

// Component values of application-palette index i: the index bits are red 7-6, green
// 5-3, blue 2-1 (bit 0 unused, so every colour occurs twice).
constexpr uint8_t AppPaletteRed(int i) { return static_cast<uint8_t>(((i & 0xC0) * 255 + 96) / 192); }
constexpr uint8_t AppPaletteGreen(int i) { return static_cast<uint8_t>((((i << 2) & 0xE0) * 255 + 112) / 224); }
constexpr uint8_t AppPaletteBlue(int i) { return static_cast<uint8_t>((((i << 5) & 0xC0) * 255 + 96) / 192); }
// The index a colour falls on before any error is diffused.
constexpr uint8_t AppPaletteIndex(int red, int green, int blue) {
  return static_cast<uint8_t>((red & 0xC0) | ((green & 0xE0) >> 2) | ((blue & 0xC0) >> 5));
}

// The 256 entries as a logical palette record (version 0x300, flags 0).
LogicalPalette AppPaletteRecord();
// The 256 entries as a DIB colour table (blue, green, red, 0): 1024 bytes.
const uint8_t* AppPaletteColorTable();
// Builds the application palette into the object, deleting the palette it held.
void MakeAppPalette(CPalette& palette);
// The process's application palette object (built by MakeAppPalette at start-up).
CPalette& AppPalette();

// The scene window's palette on 256-colour palette displays.
class CDIBPal : public CPalette {
 public:
  // From the colour table of an 8-bit surface block; false (and no palette) for a block
  // of another depth or without colours.
  bool CreateFromSurface(DibHandle surfaceBlock);
  // Prepares the palette for identity mapping on a 256-colour palette display; returns 0
  // and changes nothing on any other display.
  int MakeIdentity();
};

// The flags an identity palette gives the system palette's entries: the first and last
// colourCount / 2 entries (the static colours) 0, those between "no collapse" (4).
void SetIdentityPaletteFlags(std::vector<PaletteEntry>& systemEntries, int colourCount);

// Floyd-Steinberg error diffusion onto the application palette's layout. The caller
// supplies the rows, in storage order, just before each is needed.
class AppPaletteRows {
 public:
  virtual ~AppPaletteRows() = default;
  // Fills width x 3 ints (red, green, blue) for storage row `row`.
  virtual void LoadRow(int row, int* rgb) = 0;
  // With a transparent test: the index to write for pixel x of `row`, given its values
  // before quantising (colour plus the error carried from the previous row, not
  // clamped); -1 keeps the quantised index. The error is diffused from the quantised
  // index either way.
  virtual bool HasTransparentTest() const { return false; }
  virtual int TransparentIndex(int /*row*/, int /*x*/, const int* /*rgb*/) { return -1; }
};
// Writes width indices per row to out + row x outStride. False on a bad size or when the
// working rows cannot be allocated.
bool QuantiseToAppPalette(AppPaletteRows& rows, int width, int height, uint8_t* out, int64_t outStride);

}  // namespace qv
