#include "cli/texts_table.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace kvr::cli {

std::string messageLanguage(std::string_view localeName) {
    const std::string_view language = localeName.substr(0, localeName.find_first_of("_.@"));
    return language == "en" ? "en" : "";
}

const char* translate(const char* text) {
    static const TextPair* table = [] {
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (value && *value)
                return messageLanguage(value) == "en" ? kTexts_en : nullptr;
        }
        return static_cast<const TextPair*>(nullptr);
    }();
    if (table)
        for (const TextPair* p = table; p->source; ++p)
            if (std::strcmp(p->source, text) == 0)
                return p->translation;
    return text;
}

std::string errorMessage(const KvrError& error) {
    if (!error.text())
        return error.what();
    std::vector<std::string> values = error.values();
    if (error.lastValueIsText() && !values.empty())
        values.back() = translate(values.back().c_str());
    return fillText(translate(error.text()), values);
}

}  // namespace kvr::cli
