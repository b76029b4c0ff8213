// quorvex-info: shows where a saver's package lies, every header field and the document.
//
//   quorvex-info FILE [--json] [--language N] [--resolve]
//
// The description is shown as the runtime shows it: the sections of language N
// (default 1, English) with its placeholders filled in. Texts are printed as UTF-8.
// The document is read as stored: external files are not looked up and pictures are
// not decoded, so nothing is dropped. With --resolve it is read as the runtime holds it:
// embedded pictures decoded, external names trimmed and looked up beside FILE, and a
// line for each slot emptied and each sprite dropped, with the reason. Exit code 2 when the header cannot be read (the
// package error is printed), 3 when the document cannot be read (its message is
// printed, and with --json the document as far as it was read).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "document/screen_saver_doc.h"
#include "document/document_fields.h"
#include "base/byte_source.h"
#include "package/cp1252.h"
#include "package/package_reader.h"
#include "settings/language.h"
#include "resolve_report.h"

using namespace qv;

namespace {

std::string Json(const std::string& cp1252) { return tools::JsonText(cp1252); }

void PrintJson(const PackageHeader& h, const std::string& document, DocumentLoadError error,
               const std::string& resolved) {
  std::printf("{\"package\": {");
  std::printf("\"PackageStart\": %u, \"HeaderBlockLength\": %u, ", h.PackageStart, h.HeaderBlockLength);
  std::printf("\"ScrName\": %s, \"CompanyName\": %s, \"RightsLine\": %s, \"WebAddress\": %s, ",
              Json(h.ScrName).c_str(), Json(h.CompanyName).c_str(), Json(h.RightsLine).c_str(),
              Json(h.WebAddress).c_str());
  std::printf("\"FeedAddresses\": %s, \"FeedListEditable\": %s, \"Description\": %s, ",
              h.FeedAddresses ? Json(*h.FeedAddresses).c_str() : "null", h.FeedListEditable ? "true" : "false",
              Json(h.Description).c_str());
  std::printf("\"ModuleBlockSize\": %u, \"DialogPictureSize\": %u, \"DialogPictureFormat\": %u, ",
              h.ModuleBlockSize, h.DialogPictureSize, h.DialogPictureFormat);
  std::printf("\"SplashPictureSize\": %u, \"SplashPictureFormat\": %u, \"NoSplash\": %u, \"SplashSeconds\": %u, ",
              h.SplashPictureSize, h.SplashPictureFormat, h.NoSplash, h.SplashSeconds);
  std::printf("\"FixedPreviewSize\": %u, \"FixedPreviewFormat\": %u, \"FixedPreview\": %u", h.FixedPreviewSize,
              h.FixedPreviewFormat, h.FixedPreview);
  std::printf("}, \"document\": %s, ", document.c_str());
  if (!resolved.empty()) std::printf("\"resolved\": %s, ", resolved.c_str());
  std::printf("\"error\": ");
  if (error == DocumentLoadError::None) std::printf("null}\n");
  else std::printf("{\"message\": \"%s\"}}\n", DocumentLoadMessage(error));
}

void PrintText(const PackageHeader& h, const CScreenSaverDoc& doc, int version, DocumentLoadError error) {
  auto line = [](const char* name, const std::string& value) {
    std::printf("%-20s %s\n", name, Cp1252ToUtf8(value).c_str());
  };
  auto number = [](const char* name, uint64_t value) {
    std::printf("%-20s %llu\n", name, static_cast<unsigned long long>(value));
  };
  number("PackageStart", h.PackageStart);
  number("HeaderBlockLength", h.HeaderBlockLength);
  number("DocumentOffset", BlockOffset(h, PackageBlock::Document));
  number("DocumentLength", BlockLength(h, PackageBlock::Document));
  line("ScrName", h.ScrName);
  line("CompanyName", h.CompanyName);
  line("RightsLine", h.RightsLine);
  line("WebAddress", h.WebAddress);
  line("FeedAddresses", h.FeedAddresses ? *h.FeedAddresses : "(none)");
  line("FeedListEditable", h.FeedListEditable ? "yes" : "no");
  number("ModuleBlockSize", h.ModuleBlockSize);
  number("DialogPictureSize", h.DialogPictureSize);
  number("DialogPictureFormat", h.DialogPictureFormat);
  number("SplashPictureSize", h.SplashPictureSize);
  number("SplashPictureFormat", h.SplashPictureFormat);
  number("NoSplash", h.NoSplash);
  number("SplashSeconds", h.SplashSeconds);
  number("FixedPreviewSize", h.FixedPreviewSize);
  number("FixedPreviewFormat", h.FixedPreviewFormat);
  number("FixedPreview", h.FixedPreview);
  std::printf("Description:\n%s\n", Cp1252ToUtf8(h.Description).c_str());
  if (error != DocumentLoadError::None) {
    std::printf("Document:            %s\n", DocumentLoadMessage(error));
    return;
  }
  number("DocVersion", static_cast<uint64_t>(version));
  number("Sprites", doc.m_SpriteList.GetCount());
  number("Slides", doc.m_SlideList.GetCount());
}

// The resolved document's slots and sprites, and why anything was left out.
void PrintResolved(const CScreenSaverDoc& doc, size_t storedSprites, const std::vector<tools::ResolveNote>& notes) {
  auto slot = [](const char* name, const MediaSlot& s) {
    std::printf("%-20s %s%s\n", name, s.name.empty() ? "(none)" : Cp1252ToUtf8(s.name).c_str(),
                s.IsEmbedded() ? (" (embedded, " + std::to_string(s.Count()) + " bytes)").c_str() : "");
  };
  std::printf("Resolved:\n");
  std::printf("%-20s %d\n", "BackgroundKind", doc.m_nBackgroundKind);
  slot("BackgroundPicture", doc.m_BackgroundPicture);
  slot("MediaFile", doc.m_MediaFile);
  slot("Sound", doc.m_Sound);
  slot("ExtraPicture", doc.m_ExtraPicture);
  std::printf("%-20s %d\n", "MissingFiles", doc.m_nMissingFiles);
  std::printf("%-20s %zu of %zu kept\n", "Sprites", doc.m_SpriteList.GetCount(), storedSprites);
  for (const tools::ResolveNote& n : notes)
    std::printf("%-9s %s %s \"%s\": %s%s\n", n.action.c_str(), n.where.c_str(), n.slot.c_str(),
                Cp1252ToUtf8(n.name).c_str(), Cp1252ToUtf8(n.reason).c_str(), n.counted ? " (counted missing)" : "");
}

int Usage() {
  std::fprintf(stderr, "usage: quorvex-info FILE [--json] [--language N] [--resolve]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  bool json = false, resolve = false;
  int language = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
    } else if (arg == "--resolve") {
      resolve = true;
    } else if (arg == "--language" && i + 1 < argc) {
      char* end = nullptr;
      language = static_cast<int>(std::strtol(argv[++i], &end, 10));
      if (!end || *end || language < 1 || language > 8) return Usage();
    } else if (!arg.empty() && arg[0] == '-') {
      return Usage();
    } else if (path.empty()) {
      path = arg;
    } else {
      return Usage();
    }
  }
  if (path.empty()) return Usage();

  FileByteSource file;
  PackageHeader h;
  const int error = file.Open(path) ? ReadPackageHeader(file, h) : kCannotOpen;
  if (error != kPackageOk) {
    if (json) std::printf("{\"package\": null, \"error\": {\"PackageError\": %d}}\n", error);
    else std::fprintf(stderr, "quorvex-info: %s: no package (PackageError %d)\n", path.c_str(), error);
    return 2;
  }
  FinishDescription(h, language);

  CScreenSaverDoc doc;
  ByteCursor source(file, BlockOffset(h, PackageBlock::Document),
                              BlockLength(h, PackageBlock::Document));
  int version = 0;  // stays 0 when the archive ends before its signature
  const DocumentLoadError docError = ReadDocument(doc, source, nullptr, ArchiveReader::kBufferSize, &version);
  if (!resolve || docError != DocumentLoadError::None) {
    if (json) PrintJson(h, tools::DocumentJson(doc, version), docError, resolve ? "null" : "");
    else PrintText(h, doc, version, docError);
  } else {
    // The same archive again, read the way the runtime reads it, names looked up beside
    // the saver; the notes come from the same rules run on the stored slots.
    const std::filesystem::path folder = std::filesystem::absolute(path).parent_path();
    tools::FileDocumentServices services(folder.string());
    CScreenSaverDoc resolved;
    ByteCursor again(file, BlockOffset(h, PackageBlock::Document), BlockLength(h, PackageBlock::Document));
    ReadDocument(resolved, again, &services);  // the same bytes: it reads as the first did
    const std::vector<tools::ResolveNote> notes = tools::ExplainResolution(doc, services);
    if (json) {
      const std::string extra = "{\"MissingFiles\": " + std::to_string(resolved.m_nMissingFiles) +
                                ", \"SpritesStored\": " + std::to_string(doc.m_SpriteList.GetCount()) +
                                ", \"notes\": " + tools::ResolveNotesJson(notes) + "}";
      PrintJson(h, tools::DocumentJson(resolved, version), docError, extra);
    } else {
      PrintText(h, resolved, version, docError);
      PrintResolved(resolved, doc.m_SpriteList.GetCount(), notes);
    }
  }
  if (docError != DocumentLoadError::None) {
    if (!json) std::fprintf(stderr, "quorvex-info: %s: %s\n", path.c_str(), DocumentLoadMessage(docError));
    return 3;
  }
  return 0;
}
