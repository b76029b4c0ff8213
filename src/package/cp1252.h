// Windows-1252, the code page of a package's texts, to and from UTF-8 (for the tools).
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace qv {

std::string Cp1252ToUtf8(std::string_view text);
// None when the text is not valid UTF-8 or holds a character Windows-1252 lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

}  // namespace qv
