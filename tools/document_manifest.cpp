#include "document_manifest.h"

#include <set>

#include "document/document_fields.h"
#include "package/cp1252.h"
#include "tool_paths.h"

namespace fs = std::filesystem;

namespace qv::tools {

namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw ManifestError{where + ": " + what};
}

std::string Utf8(const fs::path& p) {
  const auto s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string StoredText(const toml::node& node, const std::string& where) {
  const auto value = node.value_exact<std::string>();
  if (!value) Fail(where, "must be a string");
  const auto stored = Utf8ToCp1252(*value);
  if (!stored) Fail(where, "holds a character Windows-1252 cannot store");
  return *stored;
}

int64_t Integer(const toml::node& node, Stored stored, const std::string& where) {
  int64_t value = 0;
  if (const auto b = node.value_exact<bool>()) {
    value = *b ? 1 : 0;
  } else if (const auto n = node.value_exact<int64_t>()) {
    value = *n;
  } else {
    Fail(where, "must be an integer");
  }
  if (!InRange(stored, value)) {
    switch (stored) {
      case Stored::Word: Fail(where, "must be 0..65535");
      case Stored::Long: Fail(where, "must be a signed 32-bit integer");
      case Stored::Dword: Fail(where, "must fit 32 bits (-2147483648..4294967295)");
      default: Fail(where, "must be 0..4294967295");
    }
  }
  return value;
}

// A stored file: "path" embeds that file under its own name; { file = "path", name =
// "stored name" } embeds it under another name; { name = "path or address" } stores
// only the name, an external file.
MediaSlot Slot(const toml::node& node, const fs::path& base, const std::string& where) {
  std::string file;
  MediaSlot slot;
  bool named = false;
  if (const auto path = node.value_exact<std::string>()) {
    file = *path;
  } else if (const auto* table = node.as_table()) {
    for (const auto& [key, value] : *table) {
      if (key.str() == "file") {
        const auto path = value.value_exact<std::string>();
        if (!path) Fail(where + ".file", "must be a path");
        file = *path;
      } else if (key.str() == "name") {
        slot.name = StoredText(value, where + ".name");
        named = true;
      } else {
        Fail(where, "unknown key " + std::string(key.str()) + " (use file and name)");
      }
    }
    if (file.empty() && !named) Fail(where, "needs a file, a name or both");
  } else {
    Fail(where, "must be a path or a table { file = ..., name = ... }");
  }
  if (!file.empty()) {
    const fs::path path = base / fs::u8path(file);
    const auto bytes = ReadWholeFile(path);
    if (!bytes) Fail(where, "cannot read " + file);
    if (bytes->empty()) Fail(where, file + " is empty; an embedded file needs at least one byte");
    slot.bytes = *bytes;
    if (!named) {
      const auto stored = Utf8ToCp1252(Utf8(path.filename()));
      if (!stored) Fail(where, "the file name holds a character Windows-1252 cannot store; set name");
      slot.name = *stored;
    }
  }
  return slot;
}

std::vector<uint16_t> WordList(const toml::node& node, const std::string& where) {
  const auto* array = node.as_array();
  if (!array) Fail(where, "must be an array of integers 0..65535");
  if (array->size() > 0xFFFF) Fail(where, "holds more than 65535 values");
  std::vector<uint16_t> words;
  for (size_t i = 0; i < array->size(); ++i) {
    words.push_back(static_cast<uint16_t>(
        Integer(*array->get(i), Stored::Word, where + "[" + std::to_string(i) + "]")));
  }
  return words;
}

template <class T>
void SetFields(T& object, const std::vector<Field<T>>& fields, const toml::table& table,
               const fs::path& base, int version, const std::string& where,
               std::set<std::string>& used, std::vector<std::string>& warnings) {
  for (const auto& field : fields) {
    const toml::node* node = table.get(field.key);
    if (!node) continue;
    used.insert(field.key);
    const std::string at = where + "." + field.key;
    if (version < field.since) {
      warnings.push_back(at + " is not stored by version " + std::to_string(version) +
                         " (only from " + std::to_string(field.since) + "); ignored");
    }
    std::visit(
        [&](auto member) {
          auto& target = object.*member;
          using V = std::decay_t<decltype(target)>;
          if constexpr (std::is_same_v<V, std::string>) {
            target = StoredText(*node, at);
          } else if constexpr (std::is_same_v<V, MediaSlot>) {
            target = Slot(*node, base, at);
          } else if constexpr (std::is_same_v<V, std::vector<uint16_t>>) {
            target = WordList(*node, at);
          } else if constexpr (std::is_arithmetic_v<V>) {
            // Stored patterns: a DWORD of 0xFFFFFFFF is the same 32 bits as -1.
            target = static_cast<V>(static_cast<int32_t>(static_cast<uint32_t>(
                Integer(*node, field.stored, at))));
          } else {
            const std::vector<uint16_t> words = WordList(*node, at);
            if (words.size() != target.size())
              Fail(at, "must hold exactly " + std::to_string(target.size()) + " values");
            std::copy(words.begin(), words.end(), target.begin());
          }
        },
        field.member);
  }
}

void RefuseUnknown(const toml::table& table, const std::set<std::string>& used,
                   const std::string& where, const char* what) {
  for (const auto& [key, value] : table) {
    if (!used.count(std::string(key.str())))
      Fail(where, "unknown key " + std::string(key.str()) + what);
  }
}

const toml::array* ArrayOfTables(const toml::table& table, const char* key, const std::string& where) {
  const toml::node* node = table.get(key);
  if (!node) return nullptr;
  const auto* array = node->as_array();
  if (!array || !array->is_array_of_tables()) Fail(where + "." + key, "must be an array of tables ([[...]])");
  return array;
}

std::unique_ptr<CSprite> Sprite(const toml::table& table, const fs::path& base, int version,
                                const std::string& where, std::vector<std::string>& warnings) {
  std::string name = "CAnimSprite";
  if (const toml::node* node = table.get("class")) {
    const auto value = node->value_exact<std::string>();
    if (!value) Fail(where + ".class", "must be a string");
    name = *value;
  }
  std::unique_ptr<CSprite> sprite;
  if (name == "CSprite") sprite = std::make_unique<CSprite>();
  else if (name == "CPhasedSprite") sprite = std::make_unique<CPhasedSprite>();
  else if (name == "CAnimSprite") sprite = std::make_unique<CAnimSprite>();
  else Fail(where + ".class", "must be CSprite, CPhasedSprite or CAnimSprite");

  std::set<std::string> used = {"class"};
  SetFields(*sprite, SpriteFields(), table, base, version, where, used, warnings);
  if (auto* phased = dynamic_cast<CPhasedSprite*>(sprite.get()))
    SetFields(*phased, PhasedSpriteFields(), table, base, version, where, used, warnings);
  if (auto* anim = dynamic_cast<CAnimSprite*>(sprite.get()))
    SetFields(*anim, AnimSpriteFields(), table, base, version, where, used, warnings);
  RefuseUnknown(table, used, where, (" (not a field of " + name + ")").c_str());

  // An embedded picture is used as embedded and records its size unless told otherwise.
  if (!used.count("m_bPictureEmbedded")) sprite->m_bPictureEmbedded = sprite->m_Picture.IsEmbedded() ? 1 : 0;
  if (!used.count("m_nPictureFileSize")) sprite->m_nPictureFileSize = sprite->m_Picture.Count();
  return sprite;
}

}  // namespace

int DocumentFromManifest(const toml::table& table, const fs::path& base, CScreenSaverDoc& doc,
                         std::vector<std::string>& warnings) {
  const std::string where = "Document";
  int version = kCurrentDocVersion;
  if (const toml::node* node = table.get("DocVersion")) {
    const auto n = node->value_exact<int64_t>();
    if (!n || *n < 0 || *n > 9999) Fail(where + ".DocVersion", "must be 0..9999 (349 to 410 in the field)");
    version = static_cast<int>(*n);
  }
  std::set<std::string> used = {"DocVersion", "Sprites", "Slides"};
  SetFields(doc, DocumentFields(), table, base, version, where, used, warnings);
  RefuseUnknown(table, used, where, "");

  if (const auto* sprites = ArrayOfTables(table, "Sprites", where)) {
    for (size_t i = 0; i < sprites->size(); ++i) {
      doc.m_SpriteList.Insert(Sprite(*sprites->get(i)->as_table(), base, version,
                                     where + ".Sprites[" + std::to_string(i) + "]", warnings));
    }
  }
  if (const auto* slides = ArrayOfTables(table, "Slides", where)) {
    for (size_t i = 0; i < slides->size(); ++i) {
      const std::string at = where + ".Slides[" + std::to_string(i) + "]";
      auto slide = std::make_unique<CSsSlideObject>();
      std::set<std::string> slideUsed;
      SetFields(*slide, SlideFields(), *slides->get(i)->as_table(), base, version, at, slideUsed, warnings);
      RefuseUnknown(*slides->get(i)->as_table(), slideUsed, at, "");
      doc.m_SlideList.AddTail(std::move(slide));
    }
  }
  return version;
}

}  // namespace qv::tools
