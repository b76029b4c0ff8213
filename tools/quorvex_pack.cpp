// quorvex-pack: makes a saver from a runtime and a manifest.
//
//   quorvex-pack [--runtime PATH] [-o OUTPUT] MANIFEST.toml
//
// The manifest (docs/manifest.md) names the header's texts and flags, the optional
// media module and pictures, and the document: a [Document] table with every field,
// sprite and slide (written here with the document writer), or a prebuilt archive. Its
// paths are relative to it.
// The output is the runtime, the package and its trailer, a multiple of 8 bytes long so
// that a signature appended later leaves the trailer right before the certificate table.
#include <toml++/toml.h>

#include <cstdio>
#include <iostream>
#include <set>
#include <string>

#include "document/screen_saver_doc.h"
#include "document_manifest.h"
#include "base/byte_source.h"
#include "package/cp1252.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "tool_paths.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

std::string U8(const fs::path& p) {
  const auto s = p.u8string();
  return std::string(s.begin(), s.end());
}

struct Failure {
  std::string message;
};

const std::set<std::string> kKeys = {
    "ScrName", "CompanyName", "RightsLine", "WebAddress", "FeedAddresses", "FeedListEditable",
    "Description", "NoSplash", "SplashSeconds", "FixedPreview", "Module", "DialogPicture",
    "DialogPictureFormat", "SplashPicture", "SplashPictureFormat", "FixedPreviewPicture",
    "FixedPreviewFormat", "Document"};

std::string Text(const toml::table& m, const char* key) {
  const auto node = m[key];
  if (!node) return {};
  const auto value = node.value<std::string>();
  if (!value) throw Failure{std::string(key) + " must be a string"};
  const auto stored = Utf8ToCp1252(*value);
  if (!stored) throw Failure{std::string(key) + " holds a character Windows-1252 cannot store"};
  return *stored;
}

uint16_t Number(const toml::table& m, const char* key, uint16_t fallback) {
  const auto node = m[key];
  if (!node) return fallback;
  if (const auto b = node.value_exact<bool>()) return *b ? 1 : 0;
  const auto n = node.value_exact<int64_t>();
  if (!n || *n < 0 || *n > 0xFFFF) throw Failure{std::string(key) + " must be a boolean or 0..65535"};
  return static_cast<uint16_t>(*n);
}

std::vector<uint8_t> FileOf(const toml::table& m, const char* key, const fs::path& base) {
  const auto node = m[key];
  if (!node) return {};
  const auto path = node.value<std::string>();
  if (!path) throw Failure{std::string(key) + " must be a path"};
  const auto bytes = tools::ReadWholeFile(base / fs::u8path(*path));
  if (!bytes) throw Failure{"cannot read " + std::string(key) + " file " + *path};
  return *bytes;
}

// The picture format: given explicitly, or from the file's extension.
uint16_t PictureFormat(const toml::table& m, const char* pathKey, const char* formatKey) {
  if (m[formatKey]) return Number(m, formatKey, 0);
  const auto path = m[pathKey].value<std::string>();
  if (!path) return 0;
  std::string ext = fs::u8path(*path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".bmp" || ext == ".dib") return kPictureBmp;
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe") return kPictureJpeg;
  if (ext == ".png") return kPicturePng;
  throw Failure{std::string(pathKey) + ": cannot tell the picture format from " + *path + "; set " + formatKey};
}

std::string Lines(std::string text) {
  // Package texts break lines with CR LF.
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// The archive: a prebuilt file, the [Document] table written by the document writer, or
// the default document when the manifest names none. A written one is read back first.
std::vector<uint8_t> DocumentArchive(const toml::table& m, const fs::path& base) {
  const auto node = m["Document"];
  if (node && !node.is_table()) return FileOf(m, "Document", base);
  CScreenSaverDoc doc;
  int version = kCurrentDocVersion;
  if (node) {
    std::vector<std::string> warnings;
    try {
      version = tools::DocumentFromManifest(*node.as_table(), base, doc, warnings);
    } catch (const tools::ManifestError& e) {
      throw Failure{e.message};
    }
    for (const auto& w : warnings) std::fprintf(stderr, "quorvex-pack: warning: %s\n", w.c_str());
  }
  std::vector<uint8_t> archive = WriteDocument(doc, version);
  CScreenSaverDoc check;
  MemoryCursor source(archive);
  if (ReadDocument(check, source, nullptr) != DocumentLoadError::None || WriteDocument(check, version) != archive)
    throw Failure{"internal error: the document does not read back"};
  return archive;
}

PackageContents Contents(const toml::table& m, const fs::path& base) {
  for (const auto& [key, value] : m) {
    if (!kKeys.count(std::string(key.str()))) throw Failure{"unknown key " + std::string(key.str())};
  }
  PackageContents c;
  c.ScrName = Text(m, "ScrName");
  if (c.ScrName.empty()) throw Failure{"ScrName is required"};
  c.CompanyName = Text(m, "CompanyName");
  c.RightsLine = Text(m, "RightsLine");
  const std::string address = Text(m, "WebAddress");
  std::optional<std::string> feeds;
  if (const auto node = m["FeedAddresses"]) {
    if (const auto list = node.as_array()) {
      std::string joined;
      for (const auto& item : *list) {
        const auto s = item.value<std::string>();
        if (!s) throw Failure{"FeedAddresses must hold strings"};
        const auto stored = Utf8ToCp1252(*s);
        if (!stored || stored->find(';') != std::string::npos)
          throw Failure{"a feed address cannot hold ';' or characters outside Windows-1252"};
        joined += (joined.empty() ? "" : ";") + *stored;
      }
      feeds = joined;
    } else {
      feeds = Text(m, "FeedAddresses");
    }
  }
  if (feeds && address.find('|') != std::string::npos)
    throw Failure{"WebAddress cannot hold '|' when FeedAddresses is given"};
  const bool editable = Number(m, "FeedListEditable", 1) != 0;
  if (feeds && !feeds->empty() && (*feeds)[0] == '*')
    throw Failure{"FeedAddresses cannot begin with '*' (FeedListEditable = false says that)"};
  c.WebAddress = ComposeWebAddress(address, feeds, editable);
  c.Description = Lines(Text(m, "Description"));
  c.NoSplash = Number(m, "NoSplash", 1);
  c.SplashSeconds = Number(m, "SplashSeconds", 0);
  c.FixedPreview = Number(m, "FixedPreview", 0);
  c.Module = FileOf(m, "Module", base);
  c.DialogPicture = FileOf(m, "DialogPicture", base);
  c.DialogPictureFormat = PictureFormat(m, "DialogPicture", "DialogPictureFormat");
  c.SplashPicture = FileOf(m, "SplashPicture", base);
  c.SplashPictureFormat = PictureFormat(m, "SplashPicture", "SplashPictureFormat");
  c.FixedPreviewPicture = FileOf(m, "FixedPreviewPicture", base);
  c.FixedPreviewFormat = PictureFormat(m, "FixedPreviewPicture", "FixedPreviewFormat");
  c.Document = DocumentArchive(m, base);
  return c;
}

int Usage() {
  std::fprintf(stderr, "usage: quorvex-pack [--runtime PATH] [-o OUTPUT] MANIFEST.toml\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path runtimePath, outputPath, manifestPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runtime" && i + 1 < argc) runtimePath = fs::u8path(argv[++i]);
    else if (arg == "-o" && i + 1 < argc) outputPath = fs::u8path(argv[++i]);
    else if (!arg.empty() && arg[0] == '-') return Usage();
    else if (manifestPath.empty()) manifestPath = fs::u8path(arg);
    else return Usage();
  }
  if (manifestPath.empty()) return Usage();
  if (runtimePath.empty()) runtimePath = tools::ToolFolder() / "quorvex.scr";
  if (outputPath.empty()) outputPath = fs::path(manifestPath).replace_extension(".scr");

  try {
    toml::table manifest;
    try {
      manifest = toml::parse_file(U8(manifestPath));
    } catch (const toml::parse_error& e) {
      throw Failure{U8(manifestPath) + ": " + std::string(e.description())};
    }
    const PackageContents contents = Contents(manifest, manifestPath.parent_path());

    const auto runtime = tools::ReadWholeFile(runtimePath);
    if (!runtime) throw Failure{"cannot read the runtime " + U8(runtimePath)};
    MemoryByteSource runtimeSource(*runtime);
    const ExecutableLayout layout = InspectExecutable(runtimeSource);
    if (!layout.isPe) throw Failure{U8(runtimePath) + " is not a Windows executable"};
    uint32_t certificates = 0;
    if (layout.hasDirectoryEntry && ReadU32At(runtimeSource, layout.pointerOffset, certificates) && certificates)
      throw Failure{"the runtime is signed: pack an unsigned runtime and sign the saver afterwards"};

    const auto package = BuildPackage(contents);
    const auto saver = package.empty() ? package : AppendPackage(*runtime, package);
    if (saver.empty()) throw Failure{"the saver would exceed 4 GiB"};

    // Read back what was made, exactly as the runtime will.
    MemoryByteSource check(saver);
    PackageHeader header;
    if (const int error = ReadPackageHeader(check, header))
      throw Failure{"internal error: the package reads back with error " + std::to_string(error)};
    if (!tools::WriteWholeFile(outputPath, saver)) throw Failure{"cannot write " + U8(outputPath)};
    std::printf("quorvex-pack: wrote %s (%zu bytes, package at %u)\n", U8(outputPath).c_str(),
                saver.size(), header.PackageStart);
    return 0;
  } catch (const Failure& f) {
    std::fprintf(stderr, "quorvex-pack: %s\n", f.message.c_str());
    return 1;
  }
}
