#pragma once

#include "ControllerFixture.h"

#include <QStringList>

class QWidget;

// A controller whose windows are driven as a person would: typing into
// fields, pressing Return, bringing windows to the front and closing them.
// Metering, when a test starts it, runs tools that answer at once and say
// nothing. The settings that the windows write are removed after each test.
class WindowsFixture : public ControllerFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Selects the field's text and types over it, key by key.
    static void type(QWidget *field, const QString &text);
    static void pressKey(QWidget *widget, int key);
    // Shows the window and makes it the active one; answers whether it got
    // there within a few seconds.
    static bool activate(QWidget *window);
    // The settings as the file on disk holds them.
    static QVariantMap settingsFile();

    // The settings keys that the windows write.
    static const QStringList kWindowKeys;
};
