// The document's stored fields by name: one table per record type (document, the three
// sprite classes, slides) naming each field, how the archive stores it and from which
// version. quorvex-info prints the tables as JSON, quorvex-unpack writes them as a
// manifest and quorvex-pack reads them back, so the three always agree on names and
// ranges; the round-trip tests compare every field the tables name.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "document/screen_saver_doc.h"

namespace qv::tools {

// How a field is stored, which fixes the values a manifest may give it.
enum class Stored {
  Word,    // 0..65535
  Dword,   // any 32-bit pattern: -2^31..2^32-1
  Long,    // -2^31..2^31-1
  Colour,  // 0..0xFFFFFFFF, 0x00BBGGRR
  Unsigned,  // 0..0xFFFFFFFF
  Text,
  Slot,
  Words,   // a list of WORDs
};

template <class T>
struct Field {
  const char* key;
  Stored stored;
  int since;  // first version that stores the field; 0: every version
  std::variant<int32_t T::*, uint32_t T::*, uint16_t T::*, double T::*, std::string T::*,
               MediaSlot T::*, std::vector<uint16_t> T::*, std::array<uint16_t, 14> T::*,
               std::array<uint16_t, 4> T::*>
      member;
};

const std::vector<Field<CScreenSaverDoc>>& DocumentFields();
const std::vector<Field<CSprite>>& SpriteFields();
const std::vector<Field<CPhasedSprite>>& PhasedSpriteFields();  // after SpriteFields
const std::vector<Field<CAnimSprite>>& AnimSpriteFields();      // after the phased ones
const std::vector<Field<CSsSlideObject>>& SlideFields();

// The value range a manifest may give a numeric field.
bool InRange(Stored stored, int64_t value);

// One field's value in neutral form: a number, a text, a slot or a word list.
struct FieldValue {
  std::variant<int64_t, double, const std::string*, const MediaSlot*, std::vector<uint16_t>> value;
};

template <class T>
FieldValue GetField(const T& object, const Field<T>& field) {
  return std::visit(
      [&](auto member) -> FieldValue {
        const auto& v = object.*member;
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, std::string>) return {&v};
        else if constexpr (std::is_same_v<V, MediaSlot>) return {&v};
        else if constexpr (std::is_same_v<V, double>) return {v};
        else if constexpr (std::is_integral_v<V>) return {static_cast<int64_t>(v)};
        else return {std::vector<uint16_t>(v.begin(), v.end())};
      },
      field.member);
}

// The class name of a sprite record: "CSprite", "CPhasedSprite" or "CAnimSprite".
const char* SpriteClassName(const CSprite& sprite);

// The document as one JSON object: DocVersion, m_nMissingFiles, every stored field
// (texts as UTF-8, colours as integers, slots as {"name", "size"}), "sprites" with their
// "class" and "slides".
std::string DocumentJson(const CScreenSaverDoc& doc, int version);

// A JSON string from a Windows-1252 text.
std::string JsonText(const std::string& cp1252);
// A TOML basic string from a Windows-1252 text.
std::string TomlText(const std::string& cp1252);

// The manifest's [Document] table for a document. slotFile names the file an embedded
// slot is written to (relative to the manifest); fields the version does not store are
// left out.
std::string DocumentToml(const CScreenSaverDoc& doc, int version,
                         const std::function<std::string(const MediaSlot&)>& slotFile);

}  // namespace qv::tools
