#include "document/sprite.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/archive_writer.h"

namespace qv {

namespace {

template <class T>
std::unique_ptr<CObject> Create() {
  return std::make_unique<T>();
}

int32_t ToStoredSpeed(double v) {
  if (!(v > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (!(v < std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

}  // namespace

const CRuntimeClass CSprite::classCSprite = {"CSprite", 0, nullptr, &Create<CSprite>};
const CRuntimeClass CPhasedSprite::classCPhasedSprite = {"CPhasedSprite", 0, &CSprite::classCSprite,
                                                         &Create<CPhasedSprite>};
const CRuntimeClass CAnimSprite::classCAnimSprite = {
    "CAnimSprite", 0, &CPhasedSprite::classCPhasedSprite, &Create<CAnimSprite>};

// --- CSprite -----------------------------------------------------------------------

void CSprite::Serialize(ArchiveReader& ar) {
  m_nMissing = 0;
  m_strName = ar.ReadString();
  m_strComment = ar.ReadString();
  for (int32_t* field : {&m_nX, &m_nY, &m_nZ, &m_nHotX, &m_nHotY, &m_nScaleX, &m_nScaleY}) {
    *field = ar.ReadLong();
  }
  for (int32_t* field : {&m_nKeyRed, &m_nKeyGreen, &m_nKeyBlue, &m_nKeyTolerance, &m_bTransparent}) {
    *field = ar.ReadWord();
  }
  if (ar.Version() >= 350) {
    m_nOpacity = ar.ReadWord();
    m_nSpareWord = ar.ReadWord();
  } else {
    m_nOpacity = 100;
    m_nSpareWord = 0;
  }
  if (ar.Version() >= 360) {
    m_bFitScreen = ar.ReadWord();
    m_bSolidBack = ar.ReadWord();
    m_crSolidBack = ar.ReadDword();
  } else {
    m_bFitScreen = 0;
  }
  m_bRandomStart = ar.Version() >= 361 ? ar.ReadWord() : 0;
  m_nSpare1 = ar.ReadWord();
  m_nSpare2 = ar.ReadWord();
  m_Picture.name = ar.ReadString();
  m_nPictureFileSize = ar.ReadDword();
  m_bPictureEmbedded = ar.ReadWord();
  ar.ReadSlotBytes(m_Picture);
  m_nCollisionGroup = ar.ReadWord();
  DocumentServices* services = ar.Services();
  for (MediaSlot* sound : {&m_SoundCollide, &m_SoundBounceX, &m_SoundBounceY}) {
    ar.ReadSlot(*sound);
    if (services && DropMissingExternal(*sound, *services)) ++m_nMissing;
  }
  m_bCollisionMoves = ar.ReadWord();
  // Without services the record is only read (the tools), never resolved.
  if (services && !LoadPicture(*services)) m_nStatus = 1;
}

void CSprite::Store(ArchiveWriter& ar) const {
  const int version = ar.Version();
  ar.WriteString(m_strName);
  ar.WriteString(m_strComment);
  for (int32_t v : {m_nX, m_nY, m_nZ, m_nHotX, m_nHotY, m_nScaleX, m_nScaleY}) ar.WriteLong(v);
  for (int32_t v : {m_nKeyRed, m_nKeyGreen, m_nKeyBlue, m_nKeyTolerance, m_bTransparent}) {
    ar.WriteWord(static_cast<uint16_t>(v));
  }
  if (version >= 350) {
    ar.WriteWord(static_cast<uint16_t>(m_nOpacity));
    ar.WriteWord(static_cast<uint16_t>(m_nSpareWord));
  }
  if (version >= 360) {
    ar.WriteWord(static_cast<uint16_t>(m_bFitScreen));
    ar.WriteWord(static_cast<uint16_t>(m_bSolidBack));
    ar.WriteDword(m_crSolidBack);
  }
  if (version >= 361) ar.WriteWord(static_cast<uint16_t>(m_bRandomStart));
  ar.WriteWord(static_cast<uint16_t>(m_nSpare1));
  ar.WriteWord(static_cast<uint16_t>(m_nSpare2));
  ar.WriteString(m_Picture.name);
  ar.WriteDword(m_nPictureFileSize);
  ar.WriteWord(static_cast<uint16_t>(m_bPictureEmbedded));
  ar.WriteSlotBytes(m_Picture);
  ar.WriteWord(static_cast<uint16_t>(m_nCollisionGroup));
  ar.WriteSlot(m_SoundCollide);
  ar.WriteSlot(m_SoundBounceX);
  ar.WriteSlot(m_SoundBounceY);
  ar.WriteWord(static_cast<uint16_t>(m_bCollisionMoves));
}

bool CSprite::LoadPicture(DocumentServices& services) {
  m_Dib = DecodedPicture();
  if (m_Picture.name.empty()) return false;
  // The services decode the embedded bytes (the saver through a temporary file of the
  // direct form) or the file at the stored path.
  std::unique_ptr<DecodedPicture> picture =
      m_bPictureEmbedded && m_Picture.IsEmbedded()
          ? services.DecodePictureBytes(m_Picture.bytes, m_Picture.name, TempFileForm::Direct)
          : services.DecodePictureFile(m_Picture.name);
  if (!picture || picture->IsEmpty()) return false;
  m_Dib = std::move(*picture);
  return true;
}

Rect32 CSprite::GetRect() const {
  // 64-bit products: stored hot spots are arbitrary LONGs.
  const int64_t w = GetWidth();
  const int64_t h = GetHeight();
  Rect32 r;
  r.left = static_cast<int32_t>(m_nX - (w * m_nHotX) / 100);
  r.top = static_cast<int32_t>(m_nY - (h * m_nHotY) / 100);
  r.right = static_cast<int32_t>(r.left + w);
  r.bottom = static_cast<int32_t>(r.top + h);
  return r;
}

void CSprite::Report(uint32_t flags, const Rect32& a, const Rect32& b) {
  if (m_pNotify) m_pNotify->Notify(this, flags, a, b);
}

void CSprite::SetPosition(int32_t x, int32_t y) {
  const Rect32 before = GetRect();
  m_nX = x;
  m_nY = y;
  Report(kNotifyMoved, before, GetRect());
}

void CSprite::SetZ(int32_t z) {
  if (z == m_nZ) return;
  m_nZ = z;
  Report(kNotifyReorder);
}

// --- CPhasedSprite -----------------------------------------------------------------

void CPhasedSprite::Serialize(ArchiveReader& ar) {
  CSprite::Serialize(ar);
  const uint32_t count = ar.ReadDword();
  m_nPhaseCount = count == 0 ? 1 : static_cast<int32_t>(count);
  m_nPhaseSpeed = static_cast<int32_t>(ar.ReadDword());
  m_nPhase = 0;
  m_nPhaseSize = m_nPhaseCount > 0 ? m_Dib.GetHeight() / m_nPhaseCount : 0;
  if (ar.Version() >= 350) {
    m_PhaseDurations.clear();
    const uint16_t n = ar.ReadWord();
    if (uint64_t{n} * 2 > ar.Remaining()) ArchiveReader::Fail();
    m_PhaseDurations.reserve(n);
    for (uint16_t i = 0; i < n; ++i) m_PhaseDurations.push_back(ar.ReadWord());
  }
  m_bHorizontalStrip = ar.Version() >= 400 ? ar.ReadWord() : 0;
}

void CPhasedSprite::Store(ArchiveWriter& ar) const {
  CSprite::Store(ar);
  ar.WriteDword(static_cast<uint32_t>(m_nPhaseCount));
  ar.WriteDword(static_cast<uint32_t>(m_nPhaseSpeed));
  if (ar.Version() >= 350) {
    // The count is a WORD; a longer list cannot be stored and is cut.
    const size_t n = std::min<size_t>(m_PhaseDurations.size(), 0xFFFF);
    ar.WriteWord(static_cast<uint16_t>(n));
    for (size_t i = 0; i < n; ++i) ar.WriteWord(m_PhaseDurations[i]);
  }
  if (ar.Version() >= 400) ar.WriteWord(static_cast<uint16_t>(m_bHorizontalStrip));
}

int CPhasedSprite::GetWidth() const {
  return m_bHorizontalStrip ? m_nPhaseSize : m_nSurfaceWidth;
}

int CPhasedSprite::GetHeight() const {
  return m_bHorizontalStrip ? m_nSurfaceHeight : m_nPhaseSize;
}

bool CPhasedSprite::SetPhase(int32_t i) {
  if (i < 0 || i >= m_nPhaseCount || i == m_nPhase) return false;
  m_nPhase = i;
  Report(kNotifyRedraw, GetRect());
  return true;
}

bool CPhasedSprite::SetPhaseCount(int32_t n) {
  if (n <= 0) return true;
  const int s = m_bHorizontalStrip ? m_Dib.GetWidth() : m_Dib.GetHeight();
  if (s / n <= 0) return false;
  m_nPhaseCount = n;
  m_nPhase = 0;
  m_nPhaseSize = s / n;
  return true;
}

// --- CAnimSprite -------------------------------------------------------------------

void CAnimSprite::Serialize(ArchiveReader& ar) {
  CPhasedSprite::Serialize(ar);
  m_dVx = ar.ReadLong();
  m_dVy = ar.ReadLong();
  m_nMotion = static_cast<int32_t>(ar.ReadDword());
  m_nEdgeMode = static_cast<int32_t>(ar.ReadDword());
  if (ar.Version() >= 361) {
    m_bRandomSpeed = ar.ReadWord();
    m_nRandomVx = ar.ReadLong();
    m_nRandomVy = ar.ReadLong();
  } else {
    m_bRandomSpeed = m_nRandomVx = m_nRandomVy = 0;
  }
}

void CAnimSprite::Store(ArchiveWriter& ar) const {
  CPhasedSprite::Store(ar);
  ar.WriteLong(ToStoredSpeed(m_dVx));
  ar.WriteLong(ToStoredSpeed(m_dVy));
  ar.WriteDword(static_cast<uint32_t>(m_nMotion));
  ar.WriteDword(static_cast<uint32_t>(m_nEdgeMode));
  if (ar.Version() >= 361) {
    ar.WriteWord(static_cast<uint16_t>(m_bRandomSpeed));
    ar.WriteLong(m_nRandomVx);
    ar.WriteLong(m_nRandomVy);
  }
}

std::unique_ptr<CAnimSprite> MakeSceneCopy(const CSprite& source, uint32_t random) {
  auto copy = std::make_unique<CAnimSprite>();
  const CRuntimeClass* cls = source.GetRuntimeClass();
  if (cls->IsDerivedFrom(&CAnimSprite::classCAnimSprite)) {
    *copy = static_cast<const CAnimSprite&>(source);
  } else if (cls->IsDerivedFrom(&CPhasedSprite::classCPhasedSprite)) {
    static_cast<CPhasedSprite&>(*copy) = static_cast<const CPhasedSprite&>(source);
  } else {
    static_cast<CSprite&>(*copy) = source;
  }
  // The picture stays with the record, which the scene prepares the copy from: keeping
  // its bytes and decoded picture twice would double a saver's largest memory.
  copy->m_Picture.ReleaseBytes();
  copy->m_Dib = DecodedPicture();
  // A fresh playing sprite: no sink until a list takes it, motion state from the start.
  copy->SetNotificationObject(nullptr);
  copy->m_nAccX = copy->m_nAccY = copy->m_nTicks = copy->m_nAmplitude = 0;
  copy->m_dLastSine = 0;
  copy->m_bCollided = 0;
  copy->m_nAngle = 90;
  copy->m_nPause = static_cast<int32_t>(random % 500);
  return copy;
}

// --- CSpriteList -------------------------------------------------------------------

void CSpriteList::Insert(std::unique_ptr<CSprite> sprite) {
  if (!sprite) return;
  sprite->SetNotificationObject(&m_notify);
  m_sprites.push_back(std::move(sprite));
}

void CSpriteList::InsertHead(std::unique_ptr<CSprite> sprite) {
  if (!sprite) return;
  sprite->SetNotificationObject(&m_notify);
  m_sprites.insert(m_sprites.begin(), std::move(sprite));
}

std::unique_ptr<CSprite> CSpriteList::Remove(CSprite* sprite) {
  const auto it = std::find_if(m_sprites.begin(), m_sprites.end(),
                               [sprite](const auto& p) { return p.get() == sprite; });
  if (it == m_sprites.end()) return nullptr;
  std::unique_ptr<CSprite> taken = std::move(*it);
  m_sprites.erase(it);
  taken->SetNotificationObject(nullptr);
  return taken;
}

void CSpriteList::Reorder(CSprite* sprite) {
  if (std::unique_ptr<CSprite> taken = Remove(sprite)) Insert(std::move(taken));
}

void CSpriteList::DeleteAll() { m_sprites.clear(); }

void CSpriteListNotifyObj::Notify(CSprite* sprite, uint32_t flags, const Rect32& rectA,
                                  const Rect32& rectB) {
  if (flags & kNotifyReorder) m_list.Reorder(sprite);
  if ((flags & kNotifyMoved) && m_pScene) {
    m_pScene->AddDamaged(rectA);
    m_pScene->AddDamaged(rectB);
  }
  if ((flags & kNotifyRedraw) && m_pScene) m_pScene->AddDamaged(rectA);
}

}  // namespace qv
