#pragma once
// The user's language. The texts are written in Japanese (base/texts.h and the layouts), and
// Japanese is what shows under a Japanese locale and wherever no translation applies (C, POSIX,
// languages without a file); under an English locale the English file is loaded.
#include <QString>
#include <QStringList>
#include <exception>
#include <initializer_list>

class QCoreApplication;

namespace kvr {

// The translation file's language for a locale name ("en_GB.UTF-8" gives "en"), or empty when
// the Japanese texts stay.
QString translationLanguage(const QString& localeName);

// Loads the translation for the process's locale (LC_ALL, LC_MESSAGES, LANG) into app; before
// the first window is made. Returns the language loaded, or empty.
QString installTranslation(QCoreApplication& app);

// A fixed text of base/texts.h in the user's language.
QString translated(const char* text);
// The same, with %1, %2, ... filled in one pass.
QString fillTranslated(const char* text, std::initializer_list<QString> values);
// The message of an error as the user reads it: a fixed text translated, then filled.
QString errorMessage(std::exception_ptr error);

}  // namespace kvr
