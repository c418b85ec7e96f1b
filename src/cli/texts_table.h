#pragma once
// The fixed texts of base/texts.h in the locale's language, for the command line: it has no Qt
// translator, so the build turns translations/kvr_<lang>.ts into tables (cmake/texts_table.cmake).
#include <string>
#include <string_view>

#include "base/error.h"

namespace kvr::cli {

struct TextPair {
    const char* source;
    const char* translation;
};

// Generated: {nullptr, nullptr} ends each table.
extern const TextPair kTexts_en[];

// The language of messages for a locale name ("en_GB.UTF-8" gives "en"); empty where the texts
// stay as written (Japanese).
std::string messageLanguage(std::string_view localeName);

// The text in the language of LC_ALL / LC_MESSAGES / LANG, or as written when no table has it.
const char* translate(const char* text);

// An error's message in that language: its fixed text and a reason among its values
// translated, then filled; a message made elsewhere as it is.
std::string errorMessage(const KvrError& error);

}  // namespace kvr::cli
