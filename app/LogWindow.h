#pragma once

#include "platform/system/Status.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace flowtally {

// Flowtally's own window on its log, for desktops where no log viewer can be
// started: the lines of earlier runs where the user's journal can be read,
// then the lines of this run (recentLogLines()), each with its local time.
// Copy puts the whole log on the clipboard; Save… writes it to a file the
// person chooses. A top-level window of its own, deleted when it closes.
class LogWindow : public QWidget {
    Q_OBJECT

  public:
    explicit LogWindow(QWidget *parent = nullptr);

    // Reads the log afresh.
    void reload();
    // The log as the window shows it.
    QString text() const;
    // Writes the log to `path`, as Save… does once a file is chosen, and
    // says on the window's note line how that went.
    Status saveTo(const QString &path);

    // Shows the log window, with the log read afresh, in front: the one
    // that is open, or a new one.
    static LogWindow *showWindow();

  protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    void save();
    // The log is read, not edited: it shows in the window's own colours,
    // whichever roles a palette sets (a dark one may leave Base white).
    void followWindowColours();

    QPlainTextEdit *view_;
    QLabel *note_;
};

} // namespace flowtally
