#include "app/KeyViewOrder.h"

#include <QWidget>

namespace flowtally {

namespace {

bool takesKeyboardFocus(const QWidget *candidate, const QWidget *window) {
    return candidate->window() == window && (candidate->focusPolicy() & Qt::TabFocus) &&
           candidate->isEnabled() && candidate->isVisibleTo(window);
}

} // namespace

void selectKeyViewFollowingView(QWidget *view) {
    const QWidget *window = view->window();
    for (QWidget *next = view->nextInFocusChain(); next && next != view;
         next = next->nextInFocusChain()) {
        if (next != window && takesKeyboardFocus(next, window)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
    view->clearFocus();
}

} // namespace flowtally
