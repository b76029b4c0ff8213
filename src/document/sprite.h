// The sprite records of the document and the scene: CSprite (picture, placement,
// transparency, collision and sounds), CPhasedSprite (a strip of phases) and
// CAnimSprite (speed and motion), with the list that keeps them in drawing order and
// reports every move, phase or depth change to the scene.
//
// The scene prepares the screen-depth picture and draws it (scene/sprite_drawing.h); a
// sprite carries the prepared size in m_nSurfaceWidth / m_nSurfaceHeight, which GetWidth
// and GetHeight read.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/archive_reader.h"
#include "document/document_types.h"
#include "imaging/surface.h"
#include "base/geometry.h"

namespace qv {


class CSprite;

// A sprite's picture prepared for the screen. Copying a sprite does not copy it: every
// scene prepares its own copies for its size and depth.
class PreparedSurface {
 public:
  PreparedSurface() = default;
  PreparedSurface(const PreparedSurface&) {}
  PreparedSurface& operator=(const PreparedSurface&) {
    m_pSurface.reset();
    return *this;
  }
  CDibKSV* get() const { return m_pSurface.get(); }
  void reset(std::unique_ptr<CDibKSV> surface = nullptr) { m_pSurface = std::move(surface); }

 private:
  std::unique_ptr<CDibKSV> m_pSurface;
};

// Change-report flags of Notify.
inline constexpr uint32_t kNotifyReorder = 0x1;  // the depth changed
inline constexpr uint32_t kNotifyMoved = 0x2;    // rectA: old place, rectB: new place
inline constexpr uint32_t kNotifyRedraw = 0x4;   // rectA: the place to redraw

class CSpriteNotifyObj {
 public:
  virtual ~CSpriteNotifyObj() = default;
  virtual void Notify(CSprite* sprite, uint32_t flags, const Rect32& rectA,
                      const Rect32& rectB) = 0;
};

class CSprite : public CObject {
 public:
  static const CRuntimeClass classCSprite;
  const CRuntimeClass* GetRuntimeClass() const override { return &classCSprite; }
  void Serialize(ArchiveReader& ar) override;
  void Store(ArchiveWriter& ar) const override;

  virtual int GetWidth() const { return m_nSurfaceWidth; }
  virtual int GetHeight() const { return m_nSurfaceHeight; }
  Rect32 GetRect() const;
  int GetLeft() const { return GetRect().left; }
  int GetTop() const { return GetRect().top; }
  int GetZ() const { return m_nZ; }
  void SetPosition(int32_t x, int32_t y);
  void SetZ(int32_t z);
  void SetNotificationObject(CSpriteNotifyObj* sink) { m_pNotify = sink; }
  CSpriteNotifyObj* GetNotificationObject() const { return m_pNotify; }
  // Decodes m_Picture into m_Dib; true when a picture results.
  bool LoadPicture(DocumentServices& services);

  // Stored fields, in archive order.
  std::string m_strName;
  std::string m_strComment;
  int32_t m_nX = 0;
  int32_t m_nY = 0;
  int32_t m_nZ = 50;
  int32_t m_nHotX = 0;
  int32_t m_nHotY = 0;
  int32_t m_nScaleX = 100;
  int32_t m_nScaleY = 100;
  int32_t m_nKeyRed = 0;
  int32_t m_nKeyGreen = 0;
  int32_t m_nKeyBlue = 0;
  int32_t m_nKeyTolerance = 1;
  int32_t m_bTransparent = 1;
  int32_t m_nOpacity = 100;
  int32_t m_nSpareWord = 0;  // stored from version 350 on
  int32_t m_bFitScreen = 0;
  int32_t m_bSolidBack = 0;
  uint32_t m_crSolidBack = 0;
  int32_t m_bRandomStart = 0;
  int32_t m_nSpare1 = 0;
  int32_t m_nSpare2 = 0;
  MediaSlot m_Picture;
  uint32_t m_nPictureFileSize = 0;
  int32_t m_bPictureEmbedded = 1;
  int32_t m_nCollisionGroup = 0;
  MediaSlot m_SoundCollide;
  MediaSlot m_SoundBounceX;
  MediaSlot m_SoundBounceY;
  int32_t m_bCollisionMoves = 1;

  // Runtime.
  int32_t m_nMissing = 0;  // external references not found by the load
  int32_t m_nStatus = 0;   // 0 ready, 1 picture missing
  DecodedPicture m_Dib;
  int32_t m_nSurfaceWidth = 0;   // size of the prepared picture (one phase across for
  int32_t m_nSurfaceHeight = 0;  // a sprite without phases)
  std::vector<uint8_t> m_AlphaMask;  // one byte per prepared pixel, 32-bit pictures only
  PreparedSurface m_Surface;         // the prepared picture, once PrepareForScene has run

 protected:
  void Report(uint32_t flags, const Rect32& a = {}, const Rect32& b = {});

 private:
  CSpriteNotifyObj* m_pNotify = nullptr;
};

class CPhasedSprite : public CSprite {
 public:
  static const CRuntimeClass classCPhasedSprite;
  const CRuntimeClass* GetRuntimeClass() const override { return &classCPhasedSprite; }
  void Serialize(ArchiveReader& ar) override;
  void Store(ArchiveWriter& ar) const override;

  int GetWidth() const override;
  int GetHeight() const override;
  int GetPhaseCount() const { return m_nPhaseCount; }
  int GetPhase() const { return m_nPhase; }
  bool SetPhase(int32_t i);
  bool SetPhaseCount(int32_t n);

  int32_t m_nPhaseCount = 1;
  int32_t m_nPhaseSpeed = 15;
  std::vector<uint16_t> m_PhaseDurations;  // stored from version 350 on
  int32_t m_bHorizontalStrip = 0;          // stored from version 400 on
  int32_t m_nPhaseSize = 0;
  int32_t m_nPhase = 0;
};

class CAnimSprite : public CPhasedSprite {
 public:
  static const CRuntimeClass classCAnimSprite;
  const CRuntimeClass* GetRuntimeClass() const override { return &classCAnimSprite; }
  void Serialize(ArchiveReader& ar) override;
  void Store(ArchiveWriter& ar) const override;

  double m_dVx = 0;
  double m_dVy = 0;
  int32_t m_nMotion = 0;    // 0 phases only, 1 straight, 2 bouncing ball
  int32_t m_nEdgeMode = 0;  // 0 wrap, 1 wrap after a random pause, 2 bounce
  int32_t m_bRandomSpeed = 0;  // stored from version 361 on, with the two below
  int32_t m_nRandomVx = 0;
  int32_t m_nRandomVy = 0;

  // Runtime of the motion.
  int32_t m_nAccX = 0;
  int32_t m_nAccY = 0;
  int32_t m_nTicks = 0;
  int32_t m_nAmplitude = 0;
  int32_t m_nAngle = 90;
  double m_dLastSine = 0;
  int32_t m_nPause = 0;
  int32_t m_bCollided = 0;
};

// The scene's own playing copy of a document sprite: every stored field, the alpha mask,
// the phase durations and the sounds' embedded bytes. The picture stays with the record:
// the copy keeps the slot's name but not its bytes, nor the decoded picture, and is
// prepared from the record's (the scene's PrepareForScene with the record's m_Dib).
// A CSprite or CPhasedSprite record takes the defaults of the fields it lacks (no
// motion). The bouncing-ball angle starts at 90 and the pause at random % 500.
std::unique_ptr<CAnimSprite> MakeSceneCopy(const CSprite& source, uint32_t random);

// Where a list's changes are drawn: the scene window marks damaged rectangles.
class SceneDamageSink {
 public:
  virtual ~SceneDamageSink() = default;
  virtual void AddDamaged(const Rect32& rect) = 0;
};

class CSpriteList;

class CSpriteListNotifyObj final : public CSpriteNotifyObj {
 public:
  explicit CSpriteListNotifyObj(CSpriteList& list) : m_list(list) {}
  void Notify(CSprite* sprite, uint32_t flags, const Rect32& rectA,
              const Rect32& rectB) override;

  SceneDamageSink* m_pScene = nullptr;  // none for the document's list

 private:
  CSpriteList& m_list;
};

// Sprites in drawing order: the scene draws from the tail to the head, so the head lies
// on top. The list owns its sprites.
class CSpriteList {
 public:
  CSpriteList() : m_notify(*this) {}
  CSpriteList(const CSpriteList&) = delete;
  CSpriteList& operator=(const CSpriteList&) = delete;
  ~CSpriteList() { DeleteAll(); }

  void Insert(std::unique_ptr<CSprite> sprite);
  // Puts the sprite at the head: drawn above every other.
  void InsertHead(std::unique_ptr<CSprite> sprite);
  // Takes the sprite out and clears its sink; null when it is not in the list.
  std::unique_ptr<CSprite> Remove(CSprite* sprite);
  // Moves the sprite to the tail.
  void Reorder(CSprite* sprite);
  void DeleteAll();

  void AttachScene(SceneDamageSink* scene) { m_notify.m_pScene = scene; }
  size_t GetCount() const { return m_sprites.size(); }
  bool IsEmpty() const { return m_sprites.empty(); }
  CSprite* GetAt(size_t i) const { return m_sprites[i].get(); }

 private:
  CSpriteListNotifyObj m_notify;
  std::vector<std::unique_ptr<CSprite>> m_sprites;
};

}  // namespace qv
