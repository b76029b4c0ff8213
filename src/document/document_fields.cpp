#include "document/document_fields.h"

#include <cstdio>

#include "package/cp1252.h"

namespace qv::tools {

using S = Stored;

const std::vector<Field<CScreenSaverDoc>>& DocumentFields() {
  using D = CScreenSaverDoc;
  static const std::vector<Field<D>> fields = {
      {"m_wHeaderWord", S::Word, 0, &D::m_wHeaderWord},
      {"m_strSourceFolder", S::Text, 0, &D::m_strSourceFolder},
      {"m_nDesignWidth", S::Word, 0, &D::m_nDesignWidth},
      {"m_nDesignHeight", S::Word, 0, &D::m_nDesignHeight},
      {"m_nReservedMode", S::Word, 0, &D::m_nReservedMode},
      {"m_strTitle", S::Text, 0, &D::m_strTitle},
      {"m_strNotice", S::Text, 0, &D::m_strNotice},
      {"m_strAuthor", S::Text, 0, &D::m_strAuthor},
      {"m_strDescription", S::Text, 0, &D::m_strDescription},
      {"m_bFastTiming", S::Word, 0, &D::m_bFastTiming},
      {"m_nBackgroundKind", S::Word, 0, &D::m_nBackgroundKind},
      {"m_nDesktopDimming", S::Word, 0, &D::m_nDesktopDimming},
      {"m_bGradientHorizontal", S::Word, 0, &D::m_bGradientHorizontal},
      {"m_nPictureFit", S::Word, 0, &D::m_nPictureFit},
      {"m_bGradientMirrored", S::Word, 0, &D::m_bGradientMirrored},
      {"m_crBackColor", S::Colour, 0, &D::m_crBackColor},
      {"m_crGradientFrom", S::Colour, 0, &D::m_crGradientFrom},
      {"m_crGradientTo", S::Colour, 0, &D::m_crGradientTo},
      {"m_wSettings", S::Words, 0, &D::m_wSettings},
      {"m_strFontFace", S::Text, 0, &D::m_strFontFace},
      {"m_crSettingsColor", S::Colour, 0, &D::m_crSettingsColor},
      {"m_BackgroundPicture", S::Slot, 0, &D::m_BackgroundPicture},
      {"m_MediaFile", S::Slot, 0, &D::m_MediaFile},
      {"m_nMediaCentreX", S::Dword, 0, &D::m_nMediaCentreX},
      {"m_nMediaCentreY", S::Dword, 0, &D::m_nMediaCentreY},
      {"m_nMediaSizeX", S::Dword, 0, &D::m_nMediaSizeX},
      {"m_nMediaSizeY", S::Dword, 0, &D::m_nMediaSizeY},
      {"m_nMediaFit", S::Dword, 0, &D::m_nMediaFit},
      {"m_nMediaSizeBase", S::Dword, 0, &D::m_nMediaSizeBase},
      {"m_bMediaPlayOnce", S::Word, 0, &D::m_bMediaPlayOnce},
      {"m_Sound", S::Slot, 0, &D::m_Sound},
      {"m_bSoundLoop", S::Word, 0, &D::m_bSoundLoop},
      {"m_bExtraPicture", S::Word, 400, &D::m_bExtraPicture},
      {"m_wExtraA", S::Word, 400, &D::m_wExtraA},
      {"m_wExtraB", S::Word, 400, &D::m_wExtraB},
      {"m_ExtraPicture", S::Slot, 400, &D::m_ExtraPicture},
      {"m_wIgnored", S::Words, 0, &D::m_wIgnored},
  };
  return fields;
}

const std::vector<Field<CSprite>>& SpriteFields() {
  using C = CSprite;
  static const std::vector<Field<C>> fields = {
      {"m_strName", S::Text, 0, &C::m_strName},
      {"m_strComment", S::Text, 0, &C::m_strComment},
      {"m_nX", S::Long, 0, &C::m_nX},
      {"m_nY", S::Long, 0, &C::m_nY},
      {"m_nZ", S::Long, 0, &C::m_nZ},
      {"m_nHotX", S::Long, 0, &C::m_nHotX},
      {"m_nHotY", S::Long, 0, &C::m_nHotY},
      {"m_nScaleX", S::Long, 0, &C::m_nScaleX},
      {"m_nScaleY", S::Long, 0, &C::m_nScaleY},
      {"m_nKeyRed", S::Word, 0, &C::m_nKeyRed},
      {"m_nKeyGreen", S::Word, 0, &C::m_nKeyGreen},
      {"m_nKeyBlue", S::Word, 0, &C::m_nKeyBlue},
      {"m_nKeyTolerance", S::Word, 0, &C::m_nKeyTolerance},
      {"m_bTransparent", S::Word, 0, &C::m_bTransparent},
      {"m_nOpacity", S::Word, 350, &C::m_nOpacity},
      {"m_nSpareWord", S::Word, 350, &C::m_nSpareWord},
      {"m_bFitScreen", S::Word, 360, &C::m_bFitScreen},
      {"m_bSolidBack", S::Word, 360, &C::m_bSolidBack},
      {"m_crSolidBack", S::Colour, 360, &C::m_crSolidBack},
      {"m_bRandomStart", S::Word, 361, &C::m_bRandomStart},
      {"m_nSpare1", S::Word, 0, &C::m_nSpare1},
      {"m_nSpare2", S::Word, 0, &C::m_nSpare2},
      {"m_Picture", S::Slot, 0, &C::m_Picture},
      {"m_nPictureFileSize", S::Unsigned, 0, &C::m_nPictureFileSize},
      {"m_bPictureEmbedded", S::Word, 0, &C::m_bPictureEmbedded},
      {"m_nCollisionGroup", S::Word, 0, &C::m_nCollisionGroup},
      {"m_SoundCollide", S::Slot, 0, &C::m_SoundCollide},
      {"m_SoundBounceX", S::Slot, 0, &C::m_SoundBounceX},
      {"m_SoundBounceY", S::Slot, 0, &C::m_SoundBounceY},
      {"m_bCollisionMoves", S::Word, 0, &C::m_bCollisionMoves},
  };
  return fields;
}

const std::vector<Field<CPhasedSprite>>& PhasedSpriteFields() {
  using C = CPhasedSprite;
  static const std::vector<Field<C>> fields = {
      {"m_nPhaseCount", S::Dword, 0, &C::m_nPhaseCount},
      {"m_nPhaseSpeed", S::Dword, 0, &C::m_nPhaseSpeed},
      {"m_PhaseDurations", S::Words, 350, &C::m_PhaseDurations},
      {"m_bHorizontalStrip", S::Word, 400, &C::m_bHorizontalStrip},
  };
  return fields;
}

const std::vector<Field<CAnimSprite>>& AnimSpriteFields() {
  using C = CAnimSprite;
  static const std::vector<Field<C>> fields = {
      {"m_dVx", S::Long, 0, &C::m_dVx},
      {"m_dVy", S::Long, 0, &C::m_dVy},
      {"m_nMotion", S::Dword, 0, &C::m_nMotion},
      {"m_nEdgeMode", S::Dword, 0, &C::m_nEdgeMode},
      {"m_bRandomSpeed", S::Word, 361, &C::m_bRandomSpeed},
      {"m_nRandomVx", S::Long, 361, &C::m_nRandomVx},
      {"m_nRandomVy", S::Long, 361, &C::m_nRandomVy},
  };
  return fields;
}

const std::vector<Field<CSsSlideObject>>& SlideFields() {
  using C = CSsSlideObject;
  static const std::vector<Field<C>> fields = {
      {"m_strText1", S::Text, 0, &C::m_strText1},
      {"m_strText2", S::Text, 0, &C::m_strText2},
      {"m_wParam1", S::Word, 0, &C::m_wParam1},
      {"m_wParam2", S::Word, 0, &C::m_wParam2},
      {"m_wParam3", S::Word, 0, &C::m_wParam3},
      {"m_wParam4", S::Word, 0, &C::m_wParam4},
      {"m_SlidePicture", S::Slot, 0, &C::m_SlidePicture},
      {"m_nValue1", S::Dword, 0, &C::m_nValue1},
      {"m_nValue2", S::Dword, 0, &C::m_nValue2},
      {"m_wParam5", S::Word, 0, &C::m_wParam5},
      {"m_wParam6", S::Word, 0, &C::m_wParam6},
      {"m_wParam7", S::Word, 0, &C::m_wParam7},
      {"m_SlideSound", S::Slot, 0, &C::m_SlideSound},
      {"m_wIgnored1", S::Word, 0, &C::m_wIgnored1},
      {"m_wIgnored2", S::Word, 0, &C::m_wIgnored2},
  };
  return fields;
}

bool InRange(Stored stored, int64_t value) {
  switch (stored) {
    case S::Word: return value >= 0 && value <= 0xFFFF;
    case S::Dword: return value >= INT32_MIN && value <= int64_t{UINT32_MAX};
    case S::Long: return value >= INT32_MIN && value <= INT32_MAX;
    case S::Colour:
    case S::Unsigned: return value >= 0 && value <= int64_t{UINT32_MAX};
    default: return false;
  }
}

const char* SpriteClassName(const CSprite& sprite) {
  return sprite.GetRuntimeClass()->m_lpszClassName;
}

namespace {

// JSON and TOML agree on every escape used here.
std::string Escaped(const std::string& cp1252) {
  std::string out = "\"";
  for (const char ch : Cp1252ToUtf8(cp1252)) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04x", c);
          out += esc;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

std::string Number(int64_t v) { return std::to_string(v); }

std::string Words(const std::vector<uint16_t>& words) {
  std::string out = "[";
  for (size_t i = 0; i < words.size(); ++i) out += (i ? ", " : "") + std::to_string(words[i]);
  return out + "]";
}

// ---- JSON ----

template <class T>
void JsonFields(const T& object, const std::vector<Field<T>>& fields, std::string& out) {
  for (const auto& field : fields) {
    out += ", \"";
    out += field.key;
    out += "\": ";
    const FieldValue v = GetField(object, field);
    if (const auto* n = std::get_if<int64_t>(&v.value)) {
      out += Number(*n);
    } else if (const auto* d = std::get_if<double>(&v.value)) {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", *d);
      out += text;
    } else if (const auto* s = std::get_if<const std::string*>(&v.value)) {
      out += JsonText(**s);
    } else if (const auto* slot = std::get_if<const MediaSlot*>(&v.value)) {
      out += "{\"name\": " + JsonText((*slot)->name) + ", \"size\": " + Number((*slot)->Count()) + "}";
    } else {
      out += Words(std::get<std::vector<uint16_t>>(v.value));
    }
  }
}

// ---- TOML ----

template <class T>
void TomlFields(const T& object, const std::vector<Field<T>>& fields, int version,
                const std::function<std::string(const MediaSlot&)>& slotFile, std::string& out) {
  for (const auto& field : fields) {
    if (version < field.since) continue;
    const FieldValue v = GetField(object, field);
    std::string value;
    if (const auto* n = std::get_if<int64_t>(&v.value)) {
      if (field.stored == S::Colour) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%06llX", static_cast<unsigned long long>(*n));
        value = hex;
      } else {
        value = Number(*n);
      }
    } else if (const auto* d = std::get_if<double>(&v.value)) {
      value = Number(static_cast<int64_t>(*d));
    } else if (const auto* s = std::get_if<const std::string*>(&v.value)) {
      value = TomlText(**s);
    } else if (const auto* slot = std::get_if<const MediaSlot*>(&v.value)) {
      if ((*slot)->name.empty() && !(*slot)->IsEmbedded()) continue;  // no file
      value = "{ ";
      if ((*slot)->IsEmbedded()) value += "file = " + TomlText(slotFile(**slot)) + ", ";
      value += "name = " + TomlText((*slot)->name) + " }";
    } else {
      value = Words(std::get<std::vector<uint16_t>>(v.value));
    }
    out += field.key;
    out += " = " + value + "\n";
  }
}

}  // namespace

std::string JsonText(const std::string& cp1252) { return Escaped(cp1252); }
std::string TomlText(const std::string& cp1252) { return Escaped(cp1252); }

std::string DocumentJson(const CScreenSaverDoc& doc, int version) {
  std::string out = "{\"DocVersion\": " + Number(version) +
                    ", \"m_nMissingFiles\": " + Number(doc.m_nMissingFiles);
  JsonFields(doc, DocumentFields(), out);
  out += ", \"sprites\": [";
  for (size_t i = 0; i < doc.m_SpriteList.GetCount(); ++i) {
    const CSprite& sprite = *doc.m_SpriteList.GetAt(i);
    out += i ? ", " : "";
    out += "{\"class\": \"" + std::string(SpriteClassName(sprite)) + "\"";
    JsonFields(sprite, SpriteFields(), out);
    if (const auto* phased = dynamic_cast<const CPhasedSprite*>(&sprite)) {
      JsonFields(*phased, PhasedSpriteFields(), out);
    }
    if (const auto* anim = dynamic_cast<const CAnimSprite*>(&sprite)) {
      JsonFields(*anim, AnimSpriteFields(), out);
    }
    out += "}";
  }
  out += "], \"slides\": [";
  for (size_t i = 0; i < doc.m_SlideList.GetCount(); ++i) {
    std::string slide;
    JsonFields(*doc.m_SlideList.GetAt(i), SlideFields(), slide);
    out += (i ? ", {" : "{") + slide.substr(2) + "}";  // drop the leading ", "
  }
  return out + "]}";
}

std::string DocumentToml(const CScreenSaverDoc& doc, int version,
                         const std::function<std::string(const MediaSlot&)>& slotFile) {
  std::string out = "[Document]\nDocVersion = " + Number(version) + "\n";
  TomlFields(doc, DocumentFields(), version, slotFile, out);
  for (size_t i = 0; i < doc.m_SpriteList.GetCount(); ++i) {
    const CSprite& sprite = *doc.m_SpriteList.GetAt(i);
    out += "\n[[Document.Sprites]]\nclass = \"" + std::string(SpriteClassName(sprite)) + "\"\n";
    TomlFields(sprite, SpriteFields(), version, slotFile, out);
    if (const auto* phased = dynamic_cast<const CPhasedSprite*>(&sprite)) {
      TomlFields(*phased, PhasedSpriteFields(), version, slotFile, out);
    }
    if (const auto* anim = dynamic_cast<const CAnimSprite*>(&sprite)) {
      TomlFields(*anim, AnimSpriteFields(), version, slotFile, out);
    }
  }
  for (size_t i = 0; i < doc.m_SlideList.GetCount(); ++i) {
    out += "\n[[Document.Slides]]\n";
    TomlFields(*doc.m_SlideList.GetAt(i), SlideFields(), version, slotFile, out);
  }
  return out;
}

}  // namespace qv::tools
