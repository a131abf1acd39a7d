#include "platform/widgets/CloseButton.h"

#include <QDialogButtonBox>
#include <QWidget>

namespace flowtally {

QWidget *closeButtonFor(QWidget *window) {
    auto *box = new QDialogButtonBox(QDialogButtonBox::Close);
    box->setObjectName(QStringLiteral("closeButtons"));
    QObject::connect(box, &QDialogButtonBox::rejected, window, &QWidget::close);
    return box;
}

} // namespace flowtally
