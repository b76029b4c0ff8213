#include "shell/saver_args.h"

namespace qv {

namespace {
bool IsBlankOrControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

std::string_view SkipSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}
}  // namespace

std::string_view SkipProgramName(std::string_view line) {
  size_t i = 0;
  if (!line.empty() && line[0] == '"') {
    i = 1;
    while (i < line.size() && line[i] != '"') ++i;
    if (i < line.size()) ++i;  // past the closing quote
  } else {
    while (i < line.size() && static_cast<unsigned char>(line[i]) > 32) ++i;
  }
  while (i < line.size() && IsBlankOrControl(line[i])) ++i;
  return line.substr(i);
}

uint32_t ParseWindowHandle(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<uint32_t>(c - '0');
  }
  return value;
}

SaverCommand ParseSaverArgs(std::string_view args, bool legacyPlatform) {
  for (size_t i = 0;; ++i) {
    if (i >= args.size() || args[i] == '\0')
      return {SaverMode::Configure, OwnerRule::None, 0};
    const char c = args[i];
    const std::string_view rest = args.substr(i + 1);
    switch (c) {
      case ' ':
      case '-':
      case '/':
        continue;
      case 'S':
      case 's':
        return {SaverMode::FullScreen, OwnerRule::None, 0};
      case 'C':
      case 'c': {
        const uint32_t handle =
            (!rest.empty() && rest.front() == ':') ? ParseWindowHandle(rest.substr(1)) : 0;
        return {SaverMode::Configure, OwnerRule::HandleOrForeground, handle};
      }
      case 'P':
      case 'p':
      case 'L':
      case 'l': {
        const uint32_t handle = ParseWindowHandle(SkipSpaces(rest));
        if (handle == 0) return {SaverMode::Invalid, OwnerRule::None, 0};
        return {SaverMode::Preview, OwnerRule::None, handle};
      }
      case 'A':
      case 'a':
        if (!legacyPlatform) return {SaverMode::Invalid, OwnerRule::None, 0};
        return {SaverMode::ChangePassword, OwnerRule::HandleOrForeground,
                ParseWindowHandle(SkipSpaces(rest))};
      default:
        return {SaverMode::Invalid, OwnerRule::None, 0};
    }
  }
}

}  // namespace qv
