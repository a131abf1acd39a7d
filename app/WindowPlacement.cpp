#include "app/WindowPlacement.h"

#include "platform/system/UserDefaults.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace flowtally {

namespace {

// Between two windows side by side.
constexpr int kGap = 8;

// Moves its window beside another as it first shows, then goes. Where the
// other is not on the screen yet (the help at the first start, shown while
// the window manager still places the main window), the other's place is
// not known: the window moves once the other is exposed.
class BesideAtFirstShow : public QObject {
  public:
    BesideAtFirstShow(QWidget *window, QWidget *beside)
        : QObject(window), window_(window), beside_(beside) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override {
        // Sent before the window is mapped: it appears where it is moved.
        if (watched == window_ && event->type() == QEvent::Show) {
            window_->removeEventFilter(this);
            if (!beside_)
                beside_ = QApplication::activeWindow();
            QWindow *shown = beside_ ? beside_->windowHandle() : nullptr;
            if (shown && beside_ != window_ && beside_->isVisible() && !shown->isExposed()) {
                shown->installEventFilter(this);
                return false;
            }
        } else if (event->type() != QEvent::Expose ||
                   !static_cast<QWindow *>(watched)->isExposed()) {
            return false;
        }
        moveBeside();
        deleteLater();
        return false;
    }

  private:
    void moveBeside() {
        if (!beside_ || beside_ == window_ || !beside_->isVisible())
            return;
        const QRect frame = beside_->frameGeometry();
        // This window may have no frame yet: the other's gives its size.
        const QSize margins = frame.size() - beside_->size();
        if (const QScreen *screen = beside_->screen())
            window_->move(WindowPlacement::besidePosition(frame, window_->size() + margins,
                                                          screen->availableGeometry()));
    }

    QWidget *window_;
    QPointer<QWidget> beside_;
};

} // namespace

void WindowPlacement::add(QWidget *window, const QString &key) {
    // Windows deleted when they close (the log's) come and go.
    windows_.removeIf([](const auto &tracked) { return tracked.first.isNull(); });
    const bool first = windows_.isEmpty();
    QWidget *beside = first ? nullptr : windows_.constFirst().first.data();
    windows_.append({window, key});
    const QVariant stored = UserDefaults::standardUserDefaults().objectForKey(key);
    if (stored.typeId() == QMetaType::QByteArray && window->restoreGeometry(stored.toByteArray()))
        return;
    if (beside_ == Beside::ActiveWindow)
        openBeside(window, nullptr);
    else if (!first)
        openBeside(window, beside);
}

void WindowPlacement::openBeside(QWidget *window, QWidget *beside) {
    new BesideAtFirstShow(window, beside);
}

void WindowPlacement::remember(QWidget *window) const {
    if (!window->isVisible())
        return;
    for (const auto &[tracked, key] : windows_) {
        if (tracked == window)
            UserDefaults::standardUserDefaults().setObject(key, window->saveGeometry());
    }
}

QPoint WindowPlacement::besidePosition(const QRect &beside, const QSize &frame,
                                       const QRect &screen) {
    const int right = beside.right() + 1 + kGap;
    const int left = beside.left() - kGap - frame.width();
    int x;
    if (right + frame.width() <= screen.right() + 1)
        x = right;
    else if (left >= screen.left())
        x = left;
    else if (screen.right() - beside.right() >= beside.left() - screen.left())
        x = screen.right() + 1 - frame.width();
    else
        x = screen.left();
    const int y = std::min(beside.top(), screen.bottom() + 1 - frame.height());
    return {std::max(x, screen.left()), std::max(y, screen.top())};
}

} // namespace flowtally
