#pragma once

#include "platform/text/Formatter.h"

#include <QLineEdit>
#include <QVariant>

#include <memory>

namespace flowtally {

// A text field that holds an object value and shows it through its
// formatter. The user's text becomes the new value when it is committed
// (Return, or leaving the field after changing it) and the formatter accepts
// it; text that the formatter refuses is dropped and the field shows its
// value again. Usable as a promoted QLineEdit in Qt Designer.
class FormattedField : public QLineEdit {
    Q_OBJECT

  public:
    explicit FormattedField(QWidget *parent = nullptr);
    ~FormattedField() override;

    // The field owns its formatter. Without one, values show as plain text and
    // the text itself is committed as the value.
    void setFormatter(std::unique_ptr<Formatter> formatter);
    Formatter *formatter() const { return formatter_.get(); }

    // Sets the value and shows it, replacing whatever the field showed.
    void setObjectValue(const QVariant &value);
    QVariant objectValue() const { return value_; }
    void setDoubleValue(double value);
    // The value as a number; 0 when it is none.
    double doubleValue() const;

    // Whether the user is editing the field: it is its window's focus widget,
    // where typing goes (while that window is in front, or once it is again).
    bool isBeingEdited() const;

  signals:
    // The user committed text that the formatter accepted; objectValue() is
    // the new value.
    void committed();

  protected:
    void focusOutEvent(QFocusEvent *event) override;

  private:
    void commit();
    void showValue();

    std::unique_ptr<Formatter> formatter_;
    QVariant value_;
};

} // namespace flowtally
