#include "feed/web_address.h"

#include "feed/ascii_text.h"

namespace qv {

namespace {

// No byte that ends an argument, hides a second one or breaks a line.
bool HasOnlyAddressCharacters(std::string_view address) {
  if (address.empty() || address.size() > kMaxWebAddress) return false;
  for (const char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"') return false;
  }
  return true;
}

}  // namespace

bool IsPlainWebAddress(std::string_view address) {
  for (const std::string_view scheme : {std::string_view("http://"), std::string_view("https://")}) {
    if (StartsWithNoCase(address, scheme) && address.size() > scheme.size())
      return HasOnlyAddressCharacters(address);
  }
  return false;
}

std::string LinkAddressToOpen(std::string_view address) {
  if (IsPlainWebAddress(address)) return std::string(address);
  if (StartsWithNoCase(address, "www.")) {
    std::string web = "http://" + std::string(address);
    return IsPlainWebAddress(web) ? web : std::string();
  }
  constexpr std::string_view kMail = "mailto:";
  if (StartsWithNoCase(address, kMail) && address.size() > kMail.size() && HasOnlyAddressCharacters(address))
    return std::string(address);
  return {};
}

}  // namespace qv
