#include "tests/support/VirtualDesktop.h"

#include "tests/support/CommandRun.h"
#include "tests/support/NetworkScene.h"

#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <optional>

namespace flowtally {

constexpr int kWaitMs = 10000;
constexpr int kSliceMs = 100;

bool VirtualDesktop::isAvailable() {
    for (const char *program : {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return false;
    }
    return true;
}

VirtualDesktop::VirtualDesktop(const QString &ns, const QString &folder) {
    // Xvfb picks a free display and names it on its standard output.
    server_ = std::make_unique<QProcess>();
    server_->setStandardErrorFile(QDir(folder).filePath(QStringLiteral("xvfb.log")));
    server_->start(QStringLiteral("ip"), {"netns", "exec", ns, "Xvfb", "-displayfd", "1",
                                          "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
    QByteArray number;
    while (!number.contains('\n') && server_->waitForReadyRead(kWaitMs))
        number += server_->readAllStandardOutput();
    if (!number.contains('\n')) {
        error = QStringLiteral("Xvfb named no display");
        return;
    }
    display_ = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    const QString home = QDir(folder).filePath(QStringLiteral("openbox"));
    QDir().mkpath(home);
    manager_ = std::make_unique<QProcess>();
    manager_->setProcessChannelMode(QProcess::MergedChannels);
    manager_->setStandardOutputFile(QDir(folder).filePath(QStringLiteral("openbox.log")));
    manager_->start(QStringLiteral("ip"),
                    {"netns", "exec", ns, "env", "DISPLAY=" + display_, "HOME=" + home,
                     "XDG_CONFIG_HOME=" + home, "XDG_CACHE_HOME=" + home, "XDG_DATA_HOME=" + home,
                     "openbox", "--sm-disable"});
    // It manages the screen once it names itself on the root window.
    for (int waited = 0; waited < kWaitMs; waited += kSliceMs) {
        const std::optional<QString> check =
            run(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
        if (check && check->contains(QLatin1String("window id")))
            return;
        QThread::msleep(kSliceMs);
    }
    error = QStringLiteral("openbox did not take the screen");
}

VirtualDesktop::~VirtualDesktop() {
    for (QProcess *process : {manager_.get(), server_.get()})
        if (process)
            endProcess(*process);
}

std::optional<QString> VirtualDesktop::run(const QString &program,
                                           const QStringList &arguments) const {
    const CommandResult result =
        runCommand(QStringLiteral("env"), QStringList{"DISPLAY=" + display_, program} + arguments);
    if (!result.finished || result.exitCode != 0)
        return std::nullopt;
    return result.output;
}

quint32 VirtualDesktop::window(const QString &title) const {
    for (int waited = 0; waited < kWaitMs; waited += kSliceMs) {
        // Programs have windows of that name which no manager sees (Qt's
        // group leader); a managed one has a state.
        const std::optional<QString> found =
            run(QStringLiteral("xdotool"), {"search", "--name", "^" + title + "$"});
        for (const QString &line : found.value_or(QString()).split('\n', Qt::SkipEmptyParts)) {
            if (!state(line.toUInt()).isEmpty())
                return line.toUInt();
        }
        QThread::msleep(kSliceMs);
    }
    return 0;
}

QString VirtualDesktop::state(quint32 window) const {
    const std::optional<QString> said =
        run(QStringLiteral("xprop"), {"-id", QString::number(window), "WM_STATE"});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("window state: (\\w+)")).match(said.value_or(QString()));
    return match.hasMatch() ? match.captured(1) : QString();
}

bool VirtualDesktop::isViewable(quint32 window) const {
    const std::optional<QString> said =
        run(QStringLiteral("xwininfo"), {"-id", QString::number(window)});
    return said && said->contains(QLatin1String("Map State: IsViewable"));
}

bool VirtualDesktop::minimize(quint32 window) const {
    return run(QStringLiteral("xdotool"), {"windowminimize", QString::number(window)}).has_value();
}

} // namespace flowtally
