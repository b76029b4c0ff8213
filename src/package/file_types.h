// File kinds by extension: every media part picks its player or decoder by this code.
#pragma once
#include <string>
#include <string_view>

namespace qv {

// The code for a file name (0 when unknown or empty). A name without a dot is compared
// whole.
int FileTypeCode(std::string_view name);

// The characters after the last "." of name, lower-cased; empty without a ".".
std::string FileExtension(std::string_view name);

}  // namespace qv
