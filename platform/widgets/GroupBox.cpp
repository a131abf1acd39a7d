#include "platform/widgets/GroupBox.h"

#include <QPainter>
#include <QStyleOptionGroupBox>

namespace flowtally {

GroupBox::GroupBox(QWidget *parent) : QGroupBox(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GroupBox::paintEvent(QPaintEvent *) {
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QStringList says{option.text,
                           QString::number(int(option.state)),
                           QString::number(int(option.subControls)),
                           QString::number(int(option.activeSubControls)),
                           QString::number(int(option.features)),
                           QString::number(int(option.textAlignment)),
                           QString::number(quintptr(style()))};
    QPainter painter(this);
    frame_.paint(painter, *this, says, [&](QPainter &framePainter) {
        // The window's background, as the window fills it under a group box
        // that is not opaque.
        framePainter.fillRect(rect(), palette().window());
        style()->drawComplexControl(QStyle::CC_GroupBox, &option, &framePainter, this);
    });
}

} // namespace flowtally
