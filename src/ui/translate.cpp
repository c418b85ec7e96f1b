#include "translate.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdlib>
#include <string>
#include <vector>

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

namespace {

// Qt's own texts (the folder chooser's buttons and columns, ...) in the program's language. Qt
// speaks English itself; Japanese comes from its translation files, when they are installed.
void installToolkitTranslation(QCoreApplication& app, const QString& language) {
    if (language == QLatin1String("en"))
        return;
    auto* translator = new QTranslator(&app);
    if (translator->load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

}  // namespace

QString installTranslation(QCoreApplication& app) {
    const QString language = translationLanguage(messageLocale());
    installToolkitTranslation(app, language);
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

namespace {

QString fillTranslatedUtf8(const char* text, const std::vector<std::string>& values) {
    return QString::fromStdString(fillText(translated(text).toStdString(), values));
}

}  // namespace

QString fillTranslated(const char* text, std::initializer_list<QString> values) {
    std::vector<std::string> utf8;
    for (const QString& v : values)
        utf8.push_back(v.toStdString());
    return fillTranslatedUtf8(text, utf8);
}

QString errorMessage(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const KvrError& e) {
        if (!e.text())
            return QString::fromUtf8(e.what());
        std::vector<std::string> values = e.values();
        if (e.lastValueIsText() && !values.empty())
            values.back() = translated(values.back().c_str()).toStdString();
        return fillTranslatedUtf8(e.text(), values);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return translated(text::kUnknownError);
    }
}

}  // namespace kvr
