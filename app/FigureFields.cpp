#include "app/FigureFields.h"

#include "app/FigureFormatter.h"
#include "platform/widgets/FormattedField.h"
#include "platform/text/NumberFormatter.h"
#include "WBLib/WBBKMGTFormatter.h"

#include <QEvent>
#include <QLabel>
#include <QLayout>

#include <algorithm>

namespace flowtally {

namespace {

// Keeps a widget as large as the holder it was put in.
class FillsHolder : public QObject {
  public:
    FillsHolder(QWidget *held, QObject *parent) : QObject(parent), held_(held) {}

    bool eventFilter(QObject *holder, QEvent *event) override {
        if (event->type() == QEvent::Resize)
            held_->setGeometry(static_cast<QWidget *>(holder)->rect());
        return false;
    }

  private:
    QWidget *held_;
};

} // namespace

std::unique_ptr<Formatter> byteFormatter() {
    auto formatter = std::make_unique<WBBKMGTFormatter>();
    formatter->setMaximumFractionDigits(kByteFractions);
    return formatter;
}

std::unique_ptr<Formatter> numberFormatter(unsigned fractionDigits) {
    auto formatter = std::make_unique<NumberFormatter>();
    formatter->setMaximumFractionDigits(fractionDigits);
    return formatter;
}

void fitWidth(QLineEdit *field, const QString &widest) {
    constexpr int kMargins = 16; // the frame and the line edit's own margins
    field->setFixedWidth(field->fontMetrics().horizontalAdvance(widest) + kMargins);
}

void showAsValue(QLineEdit *field) {
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFocusPolicy(Qt::ClickFocus);
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(palette);
}

void showAsFigure(FormattedField *field, std::unique_ptr<Formatter> numbers, const QString &widest,
                  const QString &unit) {
    showAsValue(field);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setFormatter(std::make_unique<FigureFormatter>(std::move(numbers), unit));
    fitWidth(field, widest);
}

void alignLabelColumn(const QList<QLabel *> &labels) {
    int widest = 0;
    for (const QLabel *label : labels)
        widest = std::max(widest, label->sizeHint().width());
    for (QLabel *label : labels)
        label->setMinimumWidth(widest);
}

void holdWithoutLayout(QLabel *label) {
    QWidget *parent = label->parentWidget();
    auto *holder = new QWidget;
    holder->setSizePolicy(label->sizePolicy());
    holder->setFixedHeight(label->maximumHeight());
    delete parent->layout()->replaceWidget(label, holder);
    label->setParent(holder);
    label->setAutoFillBackground(true);
    label->show();
    holder->installEventFilter(new FillsHolder(label, holder));
}

} // namespace flowtally
