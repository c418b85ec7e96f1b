#include "prefixedit.h"

#include <QLineEdit>
#include <algorithm>

#include "core/naming.h"

namespace kvr {

bool allowedPrefixCharacter(QChar c) {
    return c.unicode() > 0x7f || kvr::allowedPrefixByte(char(c.unicode()));
}

PrefixTyping::PrefixTyping(QLineEdit& edit) : QObject(&edit), edit_(edit), before_(edit.text()) {
    // textChanged also follows setText, so a loaded value becomes the new "before". The box is
    // read, not the signal's text: a change filtered meanwhile has already replaced it.
    connect(&edit, &QLineEdit::textChanged, this, [this] { before_ = edit_.text(); });
    // textEdited comes first for the user's own changes: only those are filtered.
    connect(&edit, &QLineEdit::textEdited, this, &PrefixTyping::edited);
}

void PrefixTyping::edited(const QString& text) {
    // The inserted part lies between what the old and new texts share at both ends.
    const qsizetype most = std::min(before_.size(), text.size());
    qsizetype head = 0;
    while (head < most && before_[head] == text[head])
        ++head;
    qsizetype tail = 0;
    while (tail < most - head && before_[before_.size() - 1 - tail] == text[text.size() - 1 - tail])
        ++tail;
    const QString inserted = text.mid(head, text.size() - head - tail);
    QString kept;
    for (const QChar c : inserted)
        if (allowedPrefixCharacter(c))
            kept += c;
    if (kept.size() == inserted.size()) {
        before_ = text;
        return;
    }
    const qsizetype cursor = edit_.cursorPosition();
    const qsizetype removed = inserted.size() - kept.size();
    const QString cleaned = text.left(head) + kept + text.right(tail);
    edit_.setText(cleaned);  // programmatic: no textEdited, so no loop
    // The cursor keeps its place relative to the text around it.
    const qsizetype end = head + inserted.size();
    edit_.setCursorPosition(
        int(cursor >= end ? cursor - removed : std::min(cursor, head + kept.size())));
}

}  // namespace kvr
