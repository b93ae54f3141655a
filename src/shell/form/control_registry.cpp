#include "shell/form/control_registry.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVariant>

#include "shell/form/caption_fit.h"

namespace tarvo::shell {
namespace {

constexpr const char* kTextProperty = "tarvoControlText";

QString DisplayedForm(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

void SetLabelText(QWidget* label, const QString& text) {
    if (auto* asLabel = qobject_cast<QLabel*>(label)) {
        asLabel->setProperty(kTextProperty, text);
        asLabel->setText(DisplayedForm(text));
    }
}

void ControlRegistry::Add(int id, QWidget* control) { controls_[id] = control; }

QWidget* ControlRegistry::Find(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second.data();
}

std::string ControlRegistry::Text(int id) const {
    const QWidget* control = Find(id);
    QString text;
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        text = edit->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        text = button->text();
    } else if (const auto* group = qobject_cast<const QGroupBox*>(control)) {
        text = group->title();
    } else if (const auto* label = qobject_cast<const QLabel*>(control)) {
        const QVariant kept = label->property(kTextProperty);
        text = kept.isValid() ? kept.toString() : label->text();
    } else if (const auto* choice = qobject_cast<const QComboBox*>(control)) {
        text = choice->currentText();
    }
    return text.toStdString();
}

void ControlRegistry::SetText(int id, const std::string& text) {
    QWidget* control = Find(id);
    const QString value = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value);
        edit->setCursorPosition(0);  // a long name shows its beginning
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(value);
    } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
        group->setTitle(value);
    } else if (qobject_cast<QLabel*>(control) != nullptr) {
        SetLabelText(control, value);
        FitCaption(control);  // a status word may be wider than the one it replaces
    } else if (auto* choice = qobject_cast<QComboBox*>(control)) {
        // A choice takes only one of its entries.
        if (const int index = choice->findText(value); index >= 0) choice->setCurrentIndex(index);
    }
}

bool ControlRegistry::IsChecked(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(Find(id));
    return button != nullptr && button->isChecked();
}

void ControlRegistry::SetChecked(int id, bool checked) {
    if (auto* button = qobject_cast<QAbstractButton*>(Find(id))) button->setChecked(checked);
}

bool ControlRegistry::IsEnabled(int id) const {
    // The control's own state: a window disabled around it does not count.
    const QWidget* control = Find(id);
    return control != nullptr && control->isEnabledTo(control->window());
}

void ControlRegistry::SetEnabled(int id, bool enabled) {
    if (QWidget* control = Find(id)) control->setEnabled(enabled);
}

}  // namespace tarvo::shell
