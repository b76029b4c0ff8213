// quorvex-unpack: takes a saver apart into a manifest and the files it embeds.
//
//   quorvex-unpack [--force] SAVER.scr DIR
//
// Writes DIR/manifest.toml, the package's blocks (qvmmp.dll, dialog, splash and
// fixedpreview pictures) and every embedded picture, sound and media file of the
// document under its stored name, so that
//   quorvex-pack DIR/manifest.toml --runtime R -o NEW.scr
// makes the same saver again; for a saver quorvex-pack made, byte for byte.
//
// Stored names come from the saver and are not trusted: each becomes a plain file name
// inside DIR (folders, drive letters, reserved device names and characters Windows
// refuses are taken out; clashes get a number). Existing files are never replaced
// unless --force is given. Exit code 1 for usage or file errors, 2 when the saver holds
// no readable package.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "document/screen_saver_doc.h"
#include "document/document_fields.h"
#include "base/byte_source.h"
#include "package/cp1252.h"
#include "package/package_reader.h"
#include "tool_paths.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

struct Failure {
  std::string message;
};

std::string U8(const fs::path& p) {
  const auto s = p.u8string();
  return std::string(s.begin(), s.end());
}

// A stored name as a plain file name: the part after the last folder separator, without
// characters Windows refuses in names, never "." or "..", never a device name, at most
// 100 characters with the extension kept. Result in UTF-8.
std::string SafeFileName(const std::string& stored, const std::string& fallback) {
  std::string name = stored.substr(std::min(stored.size(), stored.find_last_of("/\\") + 1));
  for (char& c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::string_view("<>:\"/\\|?*").find(c) != std::string_view::npos) c = '_';
  }
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  while (!name.empty() && name.front() == ' ') name.erase(0, 1);
  if (name.empty() || name.find_first_not_of('.') == std::string::npos) name = fallback;
  if (name.size() > 100) {
    const size_t dot = name.find_last_of('.');
    const std::string ext = dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : "";
    name = name.substr(0, 100 - ext.size()) + ext;
  }
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  bool device = std::find(std::begin(kDevices), std::end(kDevices), stem) != std::end(kDevices);
  if (stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '0' && stem[3] <= '9')
    device = true;
  if (device) name = "_" + name;
  return Cp1252ToUtf8(name);
}

// The files to write, each under a name of its own (compared as Windows compares them:
// without regard to letter case). The same bytes under the same name are written once.
class FilePlan {
 public:
  std::string Add(const std::string& stored, const std::vector<uint8_t>& bytes, const std::string& fallback) {
    const std::string base = SafeFileName(stored, fallback);
    const size_t dot = base.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? "" : base.substr(dot);
    for (int n = 1;; ++n) {
      const std::string name = n == 1 ? base : stem + "-" + std::to_string(n) + ext;
      const auto found = m_files.find(Folded(name));
      if (found == m_files.end()) {
        m_files[Folded(name)] = {name, &bytes};
        return name;
      }
      if (found->second.bytes && *found->second.bytes == bytes) return found->second.name;
    }
  }
  void Reserve(const std::string& name) { m_files[Folded(name)] = {name, nullptr}; }

  struct Entry {
    std::string name;
    const std::vector<uint8_t>* bytes;  // none for a reserved name
  };
  const std::map<std::string, Entry>& Files() const { return m_files; }

 private:
  static std::string Folded(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::map<std::string, Entry> m_files;
};

bool Occupied(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

// Writes a file inside dir. With force an existing file (or link) is removed first, so
// that a link never leads the write out of dir; a folder is never replaced.
void WriteInto(const fs::path& dir, const std::string& name, const std::vector<uint8_t>& bytes, bool force) {
  const fs::path plain = fs::u8path(name);
  if (plain.filename() != plain || plain.is_absolute()) throw Failure{"internal error: " + name + " is not a plain file name"};
  const fs::path path = dir / plain;
  std::error_code ec;
  if (Occupied(path)) {
    if (!force) throw Failure{U8(path) + " exists (use --force to replace it)"};
    if (fs::is_directory(fs::symlink_status(path, ec))) throw Failure{U8(path) + " is a folder"};
    if (!fs::remove(path, ec)) throw Failure{"cannot replace " + U8(path)};
  }
  if (!tools::WriteWholeFile(path, bytes)) throw Failure{"cannot write " + U8(path)};
}

std::string Key(const char* key, const std::string& value) { return std::string(key) + " = " + value + "\n"; }
std::string Key(const char* key, uint64_t value) { return Key(key, std::to_string(value)); }

int Usage() {
  std::fprintf(stderr, "usage: quorvex-unpack [--force] SAVER.scr DIR\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool force = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--force") force = true;
    else if (!arg.empty() && arg[0] == '-') return Usage();
    else paths.push_back(arg);
  }
  if (paths.size() != 2) return Usage();
  const fs::path saverPath = fs::u8path(paths[0]);
  const fs::path dir = fs::u8path(paths[1]);

  try {
    const auto saver = tools::ReadWholeFile(saverPath);
    if (!saver) throw Failure{"cannot read " + paths[0]};
    MemoryByteSource file(*saver);
    PackageHeader h;
    if (const int error = ReadPackageHeader(file, h)) {
      std::fprintf(stderr, "quorvex-unpack: %s: no package (PackageError %d)\n", paths[0].c_str(), error);
      return 2;
    }
    std::vector<std::string> notes;
    if (h.HasReservedSection) notes.push_back("the header's reserved section is not kept");

    FilePlan plan;
    plan.Reserve("manifest.toml");
    std::string manifest = "# Unpacked from " + U8(saverPath.filename()) + " by quorvex-unpack.\n";
    // The texts as stored (the reader's raw fields; the description is still raw).
    manifest += Key("ScrName", tools::TomlText(h.ScrName));
    manifest += Key("CompanyName", tools::TomlText(h.CompanyName));
    manifest += Key("RightsLine", tools::TomlText(h.StoredRightsLine));
    // The stored web address, split into the address and the feed list when quorvex-pack
    // composes it back the same way. quorvex-pack refuses a list that still begins with
    // "*"; such an address stays whole.
    const std::optional<std::string>& feeds = h.FeedAddresses;
    if (feeds && (feeds->empty() || (*feeds)[0] != '*')) {
      manifest += Key("WebAddress", tools::TomlText(h.WebAddress));
      manifest += Key("FeedAddresses", tools::TomlText(*feeds));
      manifest += Key("FeedListEditable", h.FeedListEditable ? "true" : "false");
    } else {
      manifest += Key("WebAddress", tools::TomlText(h.StoredWebAddress));
    }
    manifest += Key("Description", tools::TomlText(h.Description));
    manifest += Key("NoSplash", h.NoSplash);
    manifest += Key("SplashSeconds", h.SplashSeconds);
    manifest += Key("FixedPreview", h.FixedPreview);

    struct Block {
      PackageBlock block;
      const char* key;
      const char* formatKey;
      std::string name;
      uint32_t size;
      std::vector<uint8_t> bytes;
    };
    std::vector<Block> blocks = {
        {PackageBlock::Module, "Module", nullptr, "qvmmp.dll", h.ModuleBlockSize, {}},
        {PackageBlock::DialogPicture, "DialogPicture", "DialogPictureFormat",
         std::string("dialog") + PictureExtension(h.DialogPictureFormat), h.DialogPictureSize, {}},
        {PackageBlock::SplashPicture, "SplashPicture", "SplashPictureFormat",
         std::string("splash") + PictureExtension(h.SplashPictureFormat), h.SplashPictureSize, {}},
        {PackageBlock::FixedPreview, "FixedPreviewPicture", "FixedPreviewFormat",
         std::string("fixedpreview") + PictureExtension(h.FixedPreviewFormat), h.FixedPreviewSize, {}},
    };
    const uint32_t formats[] = {0, h.DialogPictureFormat, h.SplashPictureFormat, h.FixedPreviewFormat};
    for (size_t i = 0; i < blocks.size(); ++i) {
      Block& b = blocks[i];
      if (b.formatKey) manifest += Key(b.formatKey, formats[i]);
      if (b.size == 0) continue;
      if (!ReadPackageBlock(file, h, b.block, b.bytes) || b.bytes.empty()) {
        notes.push_back(std::string("the ") + b.key + " block is damaged and left out");
        continue;
      }
      manifest += Key(b.key, tools::TomlText(plan.Add(b.name, b.bytes, b.name)));
    }

    // The document: as a [Document] table when it reads, else the archive as it is.
    const uint64_t docOffset = BlockOffset(h, PackageBlock::Document);
    const uint64_t docLength = BlockLength(h, PackageBlock::Document);
    const std::vector<uint8_t> archive(saver->begin() + static_cast<std::ptrdiff_t>(docOffset),
                                       saver->begin() + static_cast<std::ptrdiff_t>(docOffset + docLength));
    CScreenSaverDoc doc;
    MemoryCursor source(archive);
    int version = 0;
    const DocumentLoadError error = ReadDocument(doc, source, nullptr, ArchiveReader::kBufferSize, &version);
    std::string documentTable;
    if (error != DocumentLoadError::None) {
      notes.push_back(std::string("the document does not read (") + DocumentLoadMessage(error) +
                      "): kept as the prebuilt archive document.qvd");
      manifest += Key("Document", tools::TomlText(plan.Add("document.qvd", archive, "document.qvd")));
    } else {
      if (WriteDocument(doc, version) != archive)
        notes.push_back("the document is written anew by quorvex-pack: the same document, other bytes");
      documentTable = tools::DocumentToml(doc, version, [&plan](const MediaSlot& slot) {
        return plan.Add(slot.name, slot.bytes, "media");
      });
    }
    if (!documentTable.empty()) manifest += "\n" + documentTable;

    // Everything is named; check before writing anything.
    std::error_code ec;
    if (Occupied(dir) && !fs::is_directory(dir, ec)) throw Failure{U8(dir) + " is not a folder"};
    if (!force) {
      for (const auto& [folded, entry] : plan.Files()) {
        if (Occupied(dir / fs::u8path(entry.name)))
          throw Failure{U8(dir / fs::u8path(entry.name)) + " exists (use --force to replace it)"};
      }
    }
    fs::create_directories(dir, ec);
    if (!fs::is_directory(dir, ec)) throw Failure{"cannot create " + U8(dir)};
    size_t written = 0;
    for (const auto& [folded, entry] : plan.Files()) {
      if (!entry.bytes) continue;
      WriteInto(dir, entry.name, *entry.bytes, force);
      ++written;
    }
    WriteInto(dir, "manifest.toml", std::vector<uint8_t>(manifest.begin(), manifest.end()), force);

    for (const auto& note : notes) std::fprintf(stderr, "quorvex-unpack: note: %s\n", note.c_str());
    std::printf("quorvex-unpack: wrote %s and %zu file%s\n", U8(dir / "manifest.toml").c_str(), written,
                written == 1 ? "" : "s");
    return 0;
  } catch (const Failure& f) {
    std::fprintf(stderr, "quorvex-unpack: %s\n", f.message.c_str());
    return 1;
  }
}
