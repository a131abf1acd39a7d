#include "app/WindowPlacement.h"

#include "platform/system/UserDefaults.h"

#include <QWidget>

namespace flowtally {

void WindowPlacement::add(QWidget *window, const QString &key) {
    windows_.append({window, key});
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(key);
    if (stored.typeId() == QMetaType::QByteArray)
        window->restoreGeometry(stored.toByteArray());
}

void WindowPlacement::remember(QWidget *window) const {
    if (!window->isVisible())
        return;
    for (const auto &[tracked, key] : windows_) {
        if (tracked == window)
            UserDefaults::standardUserDefaults().setObject(key, window->saveGeometry());
    }
}

} // namespace flowtally
