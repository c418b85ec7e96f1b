#pragma once
// The file-name prefix box: what the user types or pastes loses folder separators and control
// characters, while a value already in the box (one loaded from a hand-edited kvr.ini) stays as
// it is and can still be edited.
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
