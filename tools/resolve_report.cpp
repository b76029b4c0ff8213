#include "resolve_report.h"

#include "document/document_fields.h"
#include "document/sprite.h"

namespace qv::tools {
namespace {

// The rule for an external file, on a copy of the slot; a note when it empties it.
void External(std::vector<ResolveNote>& notes, const std::string& where, const char* slot, const MediaSlot& stored,
              FileDocumentServices& services, bool counted, bool keepAddresses = false) {
  MediaSlot copy = stored;
  if (!DropMissingExternal(copy, services, keepAddresses)) return;
  notes.push_back({where, slot, stored.name, "emptied", "not found: " + services.Locate(TrimName(stored.name)),
                   counted});
}

}  // namespace

std::vector<ResolveNote> ExplainResolution(CScreenSaverDoc& stored, FileDocumentServices& services) {
  std::vector<ResolveNote> notes;
  const MediaSlot& background = stored.m_BackgroundPicture;
  if (background.IsEmbedded()) {
    const auto picture = services.DecodePictureBytes(background.bytes, background.name, TempFileForm::Replacing);
    if (!picture || picture->IsEmpty())
      notes.push_back({"document", "BackgroundPicture", background.name, "emptied",
                       services.PictureFailure(background.name) + "; the background becomes the gradient"});
  } else if (!background.name.empty()) {
    notes.push_back({"document", "BackgroundPicture", background.name, "not shown",
                     "an external background picture is never loaded; only embedded ones are shown"});
  }
  External(notes, "document", "MediaFile", stored.m_MediaFile, services, true, /*keepAddresses=*/true);
  External(notes, "document", "Sound", stored.m_Sound, services, true);
  External(notes, "document", "ExtraPicture", stored.m_ExtraPicture, services, false);

  for (size_t i = 0; i < stored.m_SpriteList.GetCount(); ++i) {
    CSprite* sprite = stored.m_SpriteList.GetAt(i);
    const std::string where = "sprite " + std::to_string(i + 1);
    External(notes, where, "SoundCollide", sprite->m_SoundCollide, services, true);
    External(notes, where, "SoundBounceX", sprite->m_SoundBounceX, services, true);
    External(notes, where, "SoundBounceY", sprite->m_SoundBounceY, services, true);
    if (!sprite->LoadPicture(services)) {
      std::string reason = sprite->m_Picture.name.empty() ? "no picture is named"
                                                          : services.PictureFailure(sprite->m_Picture.name);
      if (reason.empty()) reason = "the picture is empty";
      notes.push_back({where, "Picture", sprite->m_Picture.name, "dropped", reason});
    }
  }
  return notes;
}

std::string ResolveNotesJson(const std::vector<ResolveNote>& notes) {
  std::string out = "[";
  for (size_t i = 0; i < notes.size(); ++i) {
    const ResolveNote& n = notes[i];
    out += i ? ", " : "";
    out += "{\"where\": " + JsonText(n.where) + ", \"slot\": " + JsonText(n.slot) + ", \"name\": " +
           JsonText(n.name) + ", \"action\": " + JsonText(n.action) + ", \"reason\": " + JsonText(n.reason) +
           ", \"counted\": " + (n.counted ? "true" : "false") + "}";
  }
  return out + "]";
}

}  // namespace qv::tools
