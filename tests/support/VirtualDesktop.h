#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace flowtally {

// A desktop of the test's own for the real program: an X server (Xvfb,
// without TCP) and a window manager (openbox) that minimizes and restores
// windows as a person's would, both run inside a network namespace so that
// nothing of theirs listens in the machine's own. A program in that
// namespace or another reaches the server through its socket file. The
// windows are looked at with xdotool, xprop and xwininfo. Ended as it goes.
// Needs root (the namespace) and those programs.
class VirtualDesktop {
  public:
    // Whether Xvfb, openbox, xdotool, xprop and xwininfo are installed.
    static bool isAvailable();

    // Starts both in the namespace; openbox keeps its files in `folder`.
    VirtualDesktop(const QString &ns, const QString &folder);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop &) = delete;
    VirtualDesktop &operator=(const VirtualDesktop &) = delete;

    // What failed while starting; empty when the desktop runs.
    QString error;
    // For DISPLAY.
    QString display() const { return display_; }

    // The window titled exactly so that the window manager manages, once
    // there is one (10 s at most); 0 when none came.
    quint32 window(const QString &title) const;
    // What the window manager says of the window's state (WM_STATE):
    // "Normal", "Iconic", or empty when it says nothing.
    QString state(quint32 window) const;
    // Whether the window is on the screen (mapped, its parents too).
    bool isViewable(quint32 window) const;
    // Asks the window manager to minimize the window, as its button would.
    bool minimize(quint32 window) const;

  private:
    // Runs one of the X tools on the display; its output, or none.
    std::optional<QString> run(const QString &program, const QStringList &arguments) const;

    std::unique_ptr<QProcess> server_, manager_;
    QString display_;
};

} // namespace flowtally
