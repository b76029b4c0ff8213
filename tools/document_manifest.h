// The [Document] table of a saver manifest: every stored field of the document, its
// sprites and slides, with media embedded from files next to the manifest or named as
// external paths. Turned into the archive with the document writer.
#pragma once
#include <toml++/toml.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "document/screen_saver_doc.h"

namespace qv::tools {

struct ManifestError {
  std::string message;
};

// Fills doc from the table and returns the version to write. Paths are relative to base.
// Throws ManifestError; a field the version does not store is reported in warnings.
int DocumentFromManifest(const toml::table& table, const std::filesystem::path& base,
                         CScreenSaverDoc& doc, std::vector<std::string>& warnings);

}  // namespace qv::tools
