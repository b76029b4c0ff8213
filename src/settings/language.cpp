#include "settings/language.h"

#include <cctype>
#include <string_view>

namespace qv {

namespace {

struct Directive {
  const char* name;  // without "#if" / "#ifdef"
  int section;
};
constexpr Directive kDirectives[] = {{"english", 1}, {"french", 2}, {"german", 3}, {"spanish", 4},
                                     {"italian", 5}, {"dutch", 6},  {"portuguese", 7}, {"russian", 8}};

// The section a normalised directive line switches to, or -1 when it is none.
int DirectiveSection(const std::string& normalised) {
  if (normalised == "#endif") return 0;
  for (const Directive& d : kDirectives) {
    if (normalised == std::string("#if") + d.name || normalised == std::string("#ifdef") + d.name)
      return d.section;
  }
  return -1;
}

}  // namespace

int LanguageFromLangId(uint16_t langId) {
  switch (langId & 0x3FF) {
    case 0x07: return 3;
    case 0x0A: return 4;
    case 0x0C: return 2;
    case 0x10: return 5;
    case 0x13: return 6;
    case 0x16: return 7;
    case 0x19: return 8;
    default: return 1;
  }
}

int LocalisedStringId(int id, int languageCode) {
  if (languageCode < 2 || languageCode > kLanguageCount) return id;
  return id + 100 * (languageCode - 1);
}

void SelectLanguageSections(std::string& text, int languageCode) {
  std::string result;
  int section = 0;
  size_t pos = 0;
  const size_t size = text.size();
  while (pos <= size) {
    size_t end = pos;
    while (end < size && text[end] != '\r' && text[end] != '\n') ++end;
    std::string line = text.substr(pos, std::min(end - pos, kMaxLocalisedText));
    // A break is CR LF, or one of them alone; a pair counts once.
    size_t next = end;
    if (end < size) {
      next = end + 1;
      if (next < size && text[next] != text[end] && (text[next] == '\r' || text[next] == '\n')) ++next;
    }
    const bool last = end >= size;

    bool directive = false;
    if (!line.empty() && line[0] == '#') {
      std::string normalised;
      for (const char c : line)
        if (c != ' ') normalised.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
      const int to = DirectiveSection(normalised);
      if (to >= 0) {
        section = to;
        directive = true;
      }
    }
    if (!directive && (section == 0 || section == languageCode)) {
      result += line;
      if (!last) result += "\r\n";
    }
    if (last) break;
    pos = next;
  }
  text = std::move(result);
}

void ExpandPlaceholders(std::string& text, const std::string& companyName, const std::string& scrName) {
  const std::string_view in = std::string_view(text).substr(0, std::min(text.size(), kMaxLocalisedText));
  std::string out;
  // The result is held to the same size as the text: values are appended only as far as
  // they fit.
  auto append = [&out](std::string_view s) {
    const size_t room = kMaxLocalisedText - out.size();
    out.append(s.substr(0, std::min(s.size(), room)));
  };
  for (size_t i = 0; i < in.size() && out.size() < kMaxLocalisedText;) {
    if (in[i] != '{') {
      out.push_back(in[i++]);
      continue;
    }
    const size_t close = in.find('}', i + 1);
    const size_t nameEnd = close == std::string_view::npos ? in.size() : close;
    const std::string_view name = in.substr(i + 1, std::min(nameEnd - i - 1, kMaxPlaceholderName));
    if (name == "CompanyName") append(companyName);
    else if (name == "ScrName" || name == "ScreenSaverTitle") append(scrName);
    else append("##UNKNOWN##");
    i = close == std::string_view::npos ? in.size() : close + 1;
  }
  text = std::move(out);
}

void FinishDescription(PackageHeader& h, int languageCode) {
  if (h.Description.empty()) return;
  SelectLanguageSections(h.Description, languageCode);
  ExpandPlaceholders(h.Description, h.CompanyName, h.ScrName);
}

}  // namespace qv
