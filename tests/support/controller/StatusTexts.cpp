#include "StatusTexts.h"

#include "AppDelegate.h"
#include "MainLoop.h"
#include "NotificationCenter.h"

StatusTexts::StatusTexts() {
    // Texts queued before this collection began are not its own.
    runMainLoopFor(0.05);
    NotificationCenter::defaultCenter().addObserver(
        this, AppDelegate::kInfoTextNotificationName,
        [this](const QVariant &text) { texts_.append(text.toString()); });
}

StatusTexts::~StatusTexts() {
    NotificationCenter::defaultCenter().removeObserver(this);
}

QStringList StatusTexts::shown() {
    // Texts travel through the main loop and show when it is idle.
    runMainLoopFor(0.05);
    return texts_;
}
