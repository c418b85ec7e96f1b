#pragma once
// The file-name prefix box: what the user types or pastes loses folder separators and control
// characters (a value loaded from kvr.ini has lost them when read, core/naming.h).
#include <QObject>
#include <QString>

class QLineEdit;

namespace kvr {

// A prefix character the user may enter: no "/", no control characters.
bool allowedPrefixCharacter(QChar c);

class PrefixTyping : public QObject {
    Q_OBJECT
public:
    // Watches edit (and is owned by it).
    explicit PrefixTyping(QLineEdit& edit);

private:
    void edited(const QString& text);

    QLineEdit& edit_;
    QString before_;  // the text before the user's change
};

}  // namespace kvr
