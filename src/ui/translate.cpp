#include "translate.h"

#include <QCoreApplication>
#include <QTranslator>
#include <cstdlib>

#include "base/error.h"
#include "base/texts.h"

namespace kvr {
namespace {

// The context of base/texts.h in the translation files.
constexpr char kTextContext[] = "kvr::text";

// The locale that decides the language of messages, as the C library takes it.
QString messageLocale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return QString::fromLocal8Bit(value);
    }
    return QStringLiteral("C");
}

}  // namespace

QString translationLanguage(const QString& localeName) {
    // "en", "en_US", "en_GB.UTF-8", "en_US@euro": the language is the part before _ . @
    QString language = localeName.section(QLatin1Char('.'), 0, 0)
                           .section(QLatin1Char('@'), 0, 0)
                           .section(QLatin1Char('_'), 0, 0)
                           .toLower();
    return language == QLatin1String("en") ? language : QString();
}

QString installTranslation(QCoreApplication& app) {
    const QString language = translationLanguage(messageLocale());
    if (language.isEmpty())
        return {};
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/kvr_") + language)) {
        delete translator;
        return {};
    }
    QCoreApplication::installTranslator(translator);
    return language;
}

QString translated(const char* text) {
    return QCoreApplication::translate(kTextContext, text);
}

QString fillTranslated(const char* text, std::initializer_list<QString> values) {
    // One pass, as fillText does: a value holding "%2" stays as it is.
    const QString pattern = translated(text);
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == QLatin1Char('%') && i + 1 < pattern.size() &&
            pattern[i + 1] >= QLatin1Char('1') && pattern[i + 1] <= QLatin1Char('9')) {
            const int index = pattern[i + 1].digitValue() - 1;
            if (index < int(values.size())) {
                out += *(values.begin() + index);
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

QString errorMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const KvrError& e) {
        if (!e.text())
            return QString::fromUtf8(e.what());
        QStringList values;
        for (const std::string& v : e.values())
            values << QString::fromStdString(v);
        // Up to the two values a fixed text has.
        return fillTranslated(e.text(), {values.value(0), values.value(1)});
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return translated(text::kUnknownError);
    }
}

}  // namespace kvr
