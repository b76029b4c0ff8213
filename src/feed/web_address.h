// Which addresses the saver hands to the shell. Feed links come from the network and the
// configuration dialog's link from the package, so neither is trusted: only addresses
// that open a web page or a mail form are handed on, never a local or shared program.
#pragma once
#include <string>
#include <string_view>

namespace qv {

// An absolute http or https address of at most kMaxWebAddress bytes with no quote,
// blank or control character: nothing in it can end an argument or start a program.
inline constexpr size_t kMaxWebAddress = 2048;
bool IsPlainWebAddress(std::string_view address);

// What the configuration dialog's link opens: a plain web address as it is, "www."
// addresses as "http://www.", "mailto:" addresses under the same character rule; empty
// for anything else (the link is shown but not opened).
std::string LinkAddressToOpen(std::string_view address);

}  // namespace qv
