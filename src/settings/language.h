// The runtime's eight languages: which string resource a language uses, and how an
// author's text is cut to the current language's sections and its placeholders filled.
#pragma once
#include <cstdint>
#include <string>

#include "package/package_header.h"

namespace qv {

// 1 English, 2 French, 3 German, 4 Spanish, 5 Italian, 6 Dutch, 7 Portuguese, 8 Russian.
inline constexpr int kLanguageCount = 8;
// Texts and placeholder names longer than these are cut.
inline constexpr size_t kMaxLocalisedText = 16383;
inline constexpr size_t kMaxPlaceholderName = 255;

// The language of a Windows language identifier (its primary language, low 10 bits).
int LanguageFromLangId(uint16_t langId);

// The string resource of identifier in the language: + 100 per language after English.
int LocalisedStringId(int id, int languageCode);

// Keeps the common lines and those of the language's "#if..." sections.
void SelectLanguageSections(std::string& text, int languageCode);

// Replaces "{CompanyName}", "{ScrName}" and "{ScreenSaverTitle}"; other names become
// "##UNKNOWN##".
void ExpandPlaceholders(std::string& text, const std::string& companyName, const std::string& scrName);

// The package's Description as shown: its language's sections with the placeholders
// filled in.
void FinishDescription(PackageHeader& h, int languageCode);

}  // namespace qv
