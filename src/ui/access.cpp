#include "access.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "base/texts.h"
#include "focusring.h"
#include "translate.h"
#include "updown.h"

namespace kvr {
namespace {

QString role(QObject* object) {
    return object->property("kvrRole").toString();
}

// A toggle of a pair where one is always down: a radio button to a screen reader.
class ChoiceAccessible : public QAccessibleWidget {
public:
    explicit ChoiceAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::RadioButton) {}

    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = button()->text();
        return value;
    }

    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }

    void doAction(const QString& action) override {
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

// The read-only timer box with its arrows: one spin box, its value in seconds.
class SpinAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SpinAccessible(QLineEdit* edit) : QAccessibleWidget(edit, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return secondsText(seconds());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return seconds(); }
    QVariant maximumValue() const override { return stepper() ? stepper()->maximum() : seconds(); }
    QVariant minimumValue() const override { return stepper() ? stepper()->minimum() : seconds(); }
    QVariant minimumStepSize() const override { return 1; }

    // As if the arrows were clicked until the value is reached (or its end of the range).
    void setCurrentValue(const QVariant& value) override {
        UpDown* arrows = stepper();
        if (!arrows)
            return;
        const int wanted = value.toInt();
        for (int guard = 0; guard < 1000 && arrows->position() != wanted; ++guard) {
            const int before = arrows->position();
            arrows->step(wanted > before);
            if (arrows->position() == before)
                break;
        }
    }

private:
    int seconds() const { return static_cast<QLineEdit*>(widget())->text().toInt(); }
    UpDown* stepper() const {
        QWidget* parent = widget()->parentWidget();
        const QString name = widget()->property("kvrStepper").toString();
        return parent ? parent->findChild<UpDown*>(name) : nullptr;
    }
};

// A dialog's button that Enter presses from anywhere in it.
class DefaultButtonAccessible : public QAccessibleWidget {
public:
    explicit DefaultButtonAccessible(QAbstractButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.defaultButton = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = static_cast<QAbstractButton*>(widget())->text();
        return value;
    }
    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString& action) override {
        if (action == pressAction())
            static_cast<QAbstractButton*>(widget())->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

// A label that opens an address when clicked (or pressed with Enter while focused).
class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(QWidget* label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction(), setFocusAction()}; }
    void doAction(const QString& action) override {
        if (action != pressAction())
            return QAccessibleWidget::doAction(action);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(widget(), &press);
    }
};

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    const QString r = role(object);
    if (r.isEmpty())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (r == QLatin1String("radio")) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return new ChoiceAccessible(button);
    } else if (r == QLatin1String("default")) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget))
            return new DefaultButtonAccessible(button);
    } else if (r == QLatin1String("link")) {
        if (qobject_cast<QLabel*>(widget))
            return new LinkAccessible(widget);
    } else if (r == QLatin1String("group")) {
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    } else if (r == QLatin1String("spin")) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            return new SpinAccessible(edit);
    }
    return nullptr;
}

// Enter and Return press a focused button, as Space does.
class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            auto* button = qobject_cast<QAbstractButton*>(watched);
            if (button && button->isEnabled() && !key->isAutoRepeat() &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                key->modifiers() == Qt::NoModifier) {
                button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

void installAccessibleRoles() {
    QAccessible::installFactory(factory);
}

void enableKeyboard(QWidget& window) {
    auto* enter = new EnterPresses(&window);
    // Not a check box or a radio button: Space changes those, and Enter is the dialog's.
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if ((button->focusPolicy() & Qt::TabFocus) && !qobject_cast<QCheckBox*>(button) &&
            !qobject_cast<QRadioButton*>(button))
            button->installEventFilter(enter);
    new FocusRing(window);
}

QString secondsText(int seconds) {
    return fillTranslated(text::kSeconds, {QString::number(seconds)});
}

}  // namespace kvr
