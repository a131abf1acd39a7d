#pragma once

class QWidget;

namespace flowtally {

// Moves the keyboard focus on from a view to the next one in its window's
// tab order that takes focus from the keyboard, so that the view is no
// longer being edited. When the window holds no other such view, the view
// gives up the focus.
void selectKeyViewFollowingView(QWidget *view);

} // namespace flowtally
