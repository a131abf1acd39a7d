#include "app/LogWindow.h"

#include "app/BringToFront.h"
#include "app/WindowPlacement.h"
#include "platform/process/JournalLines.h"
#include "platform/system/Environment.h"
#include "platform/system/SystemLog.h"
#include "platform/widgets/CloseButton.h"
#include "record/SettingsKeys.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace flowtally {

namespace {

// journalctl answers at once where the journal is local; this bounds the
// wait of the person who opened the window where it is not.
constexpr std::chrono::seconds kJournalTimeLimit{2};

// Log windows come and go; where the last one was is kept for the next.
WindowPlacement &placement() {
    static WindowPlacement placement(WindowPlacement::Beside::ActiveWindow);
    return placement;
}

QString logText(const QList<LogLine> &lines, const QTimeZone &zone) {
    QString text;
    for (const LogLine &line : lines)
        text += line.at.toTimeZone(zone).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss  ")) +
                line.text + QLatin1Char('\n');
    return text;
}

} // namespace

LogWindow::LogWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), view_(new QPlainTextEdit), note_(new QLabel) {
    setObjectName(QStringLiteral("logWindow"));
    setWindowTitle(tr("Flowtally Log"));
    view_->setObjectName(QStringLiteral("logText"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setAccessibleName(tr("Flowtally's log"));
    note_->setObjectName(QStringLiteral("logNote"));
    auto *copy = new QPushButton(tr("Copy"));
    copy->setObjectName(QStringLiteral("copyLogPB"));
    auto *save = new QPushButton(tr("Save…"));
    save->setObjectName(QStringLiteral("saveLogPB"));
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(text()); });
    connect(save, &QPushButton::clicked, this, &LogWindow::save);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(note_, 1);
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addWidget(closeButtonFor(this));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    followWindowColours();
    resize(760, 480);
}

void LogWindow::followWindowColours() {
    QPalette colours = view_->palette();
    colours.setColor(QPalette::Base, palette().color(QPalette::Window));
    colours.setColor(QPalette::Text, palette().color(QPalette::WindowText));
    view_->setPalette(colours);
}

void LogWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::PaletteChange)
        followWindowColours();
    QWidget::changeEvent(event);
}

void LogWindow::reload() {
    const QTimeZone zone = Environment::current().timeZone();
    QList<LogLine> earlier;
    const Status read = readEarlierLogLines(kJournalTimeLimit, &earlier);
    QString text;
    if (!read.ok())
        text = tr("Earlier runs: the journal could not be read (%1).").arg(read.message());
    else if (earlier.isEmpty())
        text = tr("Earlier runs: the journal holds no lines of Flowtally's.");
    else
        text = tr("Earlier runs, from the journal:") + QLatin1Char('\n') + logText(earlier, zone);
    text +=
        QLatin1Char('\n') + tr("This run:") + QLatin1Char('\n') + logText(recentLogLines(), zone);
    view_->setPlainText(text);
    view_->moveCursor(QTextCursor::End);
    note_->clear();
}

QString LogWindow::text() const {
    return view_->toPlainText();
}

Status LogWindow::saveTo(const QString &path) {
    const Status written = Environment::current().writeFileAtomically(path, text().toUtf8());
    note_->setText(written.ok() ? tr("Saved to %1").arg(QDir::toNativeSeparators(path))
                                : tr("Not saved: %1").arg(written.message()));
    return written;
}

void LogWindow::save() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save the Log"), QDir::home().filePath(QStringLiteral("flowtally.log")));
    if (!path.isEmpty())
        saveTo(path).ignore(); // the note line tells how it went
}

void LogWindow::closeEvent(QCloseEvent *event) {
    placement().remember(this);
    QWidget::closeEvent(event);
}

LogWindow *LogWindow::showWindow() {
    static QPointer<LogWindow> open;
    // A window closed in this turn of the loop waits there to be deleted:
    // it is not handed out again.
    if (!open || !open->isVisible()) {
        open = new LogWindow;
        open->setAttribute(Qt::WA_DeleteOnClose);
        placement().add(open, SettingsKey::LogWindowGeometry);
    }
    open->reload();
    bringToFront(open);
    return open;
}

} // namespace flowtally
