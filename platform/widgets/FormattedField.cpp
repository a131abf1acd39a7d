#include "platform/widgets/FormattedField.h"

#include <QFocusEvent>

namespace flowtally {

FormattedField::FormattedField(QWidget *parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::returnPressed, this, &FormattedField::commit);
}

FormattedField::~FormattedField() = default;

void FormattedField::setFormatter(std::unique_ptr<Formatter> formatter) {
    formatter_ = std::move(formatter);
    showValue();
}

void FormattedField::setObjectValue(const QVariant &value) {
    value_ = value;
    showValue();
}

void FormattedField::setDoubleValue(double value) {
    setObjectValue(value);
}

double FormattedField::doubleValue() const {
    return value_.toDouble();
}

bool FormattedField::isBeingEdited() const {
    return window()->focusWidget() == this;
}

void FormattedField::focusOutEvent(QFocusEvent *event) {
    // Another window or a pop-up coming to the front does not end the edit.
    const bool endsEditing =
        event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
    if (endsEditing && isModified())
        commit();
    QLineEdit::focusOutEvent(event);
}

void FormattedField::commit() {
    QVariant value = text();
    if (formatter_ && !formatter_->getObjectValue(&value, text(), nullptr)) {
        showValue();
        return;
    }
    value_ = value;
    showValue();
    emit committed();
}

void FormattedField::showValue() {
    const QString shown =
        formatter_ ? formatter_->stringForObjectValue(value_).value_or(QString()) : value_.toString();
    // Most ticks show what a field already shows. Setting it again would lay
    // the text out anew and take away a selection the person made in it.
    if (shown == text() && !isModified())
        return;
    setText(shown);
}

} // namespace flowtally
