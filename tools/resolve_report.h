// What the runtime's load rules do to a document: each slot they empty and each sprite
// they drop, with the reason, for quorvex-info --resolve.
#pragma once
#include <string>
#include <vector>

#include "document/screen_saver_doc.h"
#include "file_services.h"

namespace qv::tools {

struct ResolveNote {
  std::string where;   // "document" or "sprite N"
  std::string slot;    // the field: "MediaFile", "Picture", ...
  std::string name;    // the stored name
  std::string action;  // "emptied", "dropped", "not shown"
  std::string reason;
  bool counted = false;  // counted as a missing file
};

// stored: the document read without resolving (nothing looked up or decoded). The
// rules run on copies of its slots through services; stored itself keeps its slots.
std::vector<ResolveNote> ExplainResolution(CScreenSaverDoc& stored, FileDocumentServices& services);

std::string ResolveNotesJson(const std::vector<ResolveNote>& notes);

}  // namespace qv::tools
