// quorvex-info: shows where a saver's package lies and every header field.
//
//   quorvex-info FILE [--json] [--language N]
//
// The description is shown as the runtime shows it: the sections of language N
// (default 1, English) with its placeholders filled in. Texts are printed as UTF-8.
// Exit code 2 when the header cannot be read (the package error is printed).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "package/byte_source.h"
#include "package/cp1252.h"
#include "package/package_reader.h"

using namespace qv;

namespace {

std::string Json(const std::string& cp1252) {
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
        if (c < 0x20) {
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

void PrintJson(const PackageHeader& h) {
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
  std::printf("}, \"error\": null}\n");
}

void PrintText(const PackageHeader& h) {
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
}

int Usage() {
  std::fprintf(stderr, "usage: quorvex-info FILE [--json] [--language N]\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path;
  bool json = false;
  int language = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--json") {
      json = true;
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
  if (json) PrintJson(h);
  else PrintText(h);
  return 0;
}
