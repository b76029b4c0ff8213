#include "package/file_types.h"

#include <cctype>

namespace qv {

namespace {

struct TypeEntry {
  int code;
  const char* extensions;  // space-separated, upper case
};

// Checked in this order; the first match wins.
constexpr TypeEntry kTypes[] = {
    {100, "DEL"}, {30, "KSV"}, {5, "BMP DIB RLE"}, {10, "ICO"}, {6, "CUR"}, {2, "ANI"},
    {48, "HTM HTML HTX ALX STM SHTML SHTM DHTML"}, {49, "ASP"}, {9, "GIF"}, {12, "JPG JPE JPEG"},
    {21, "PICT PIC PCT"}, {37, "FPX FPIX"}, {38, "QTI QTIF"}, {36, "PSD"}, {40, "ACL"},
    {39, "ICL"}, {19, "PCD"}, {33, "WMF"}, {22, "PNG"}, {20, "PCX"}, {31, "TGA"}, {13, "LBM"},
    {11, "IFF"}, {4, "AVI"}, {3, "ASF ASX"}, {16, "MOV"}, {23, "QT"}, {18, "MPG MPEG"},
    {17, "MP3 MP2"}, {8, "FLI"}, {7, "FLC"}, {34, "WAV"}, {14, "MID MIDI"}, {15, "MOD"},
    {28, "S3M"}, {35, "XM"}, {26, "RM"}, {24, "RA"}, {27, "RT"}, {25, "RAM"}, {29, "SMI"},
    {41, "SND"}, {42, nullptr /* any extension that starts with SAU */}, {43, "AIF AIFC AIFF"},
    {44, "WM"}, {45, "WMA"}, {46, "WMV"}, {47, "RMI"}, {51, "FLV"}, {52, "MP4 M4V MP4V"},
    {53, "3GP 3G2"}, {50, "SWF"},
};

bool ListHas(std::string_view list, std::string_view upper) {
  while (!list.empty()) {
    const size_t space = list.find(' ');
    if (list.substr(0, space) == upper) return true;
    if (space == std::string_view::npos) break;
    list.remove_prefix(space + 1);
  }
  return false;
}

}  // namespace

int FileTypeCode(std::string_view name) {
  if (name.empty()) return 0;
  const size_t dot = name.rfind('.');
  std::string upper(dot == std::string_view::npos ? name : name.substr(dot + 1));
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const TypeEntry& e : kTypes) {
    if (e.extensions ? ListHas(e.extensions, upper) : upper.starts_with("SAU")) return e.code;
  }
  return 0;
}

std::string FileExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  std::string ext(name.substr(dot + 1));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace qv
