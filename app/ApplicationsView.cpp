#include "app/ApplicationsView.h"

#include "history/ApplicationName.h"
#include "charts/ApplicationsWindow.h"
#include "app/BringToFront.h"
#include "platform/system/Environment.h"
#include "history/HistoryStore.h"
#include "meter/Meter.h"
#include "app/WindowPlacement.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace flowtally {

void addApplicationsView(QMenu *menu, const Meter &meter, std::function<HistoryStore *()> history,
                         std::function<bool()> serviceAnswers) {
    QAction *applications = menu->addAction(QMenu::tr("&Applications…"));
    QWidget *main = menu->parentWidget() ? menu->parentWidget()->window() : nullptr;
    auto *window = new ApplicationsWindow(main);
    window->hide();
    WindowPlacement::openBeside(window, main);
    QObject::connect(
        applications, &QAction::triggered, window, [window, &meter, history, serviceAnswers] {
            const NetworkRecord &record = meter.record();
            const QDateTime since =
                record.service && record.periodBegan() ? record.resetDate : QDateTime();
            QList<ApplicationsWindow::Row> rows;
            QList<ApplicationBytes> counted;
            HistoryStore *store = history();
            if (since.isValid() && store &&
                store
                    ->applications(*record.service, since, Environment::current().now().addDays(1),
                                   &counted)
                    .ok()) {
                const QStringList folders = applicationDataFolders();
                for (const ApplicationBytes &bytes : counted)
                    rows.append({applicationName(bytes.application, folders), bytes});
            }
            window->showApplications(since, rows, record.totalIn + record.totalOut);
            window->showServiceAnswers(serviceAnswers());
            bringToFront(window);
        });
}

} // namespace flowtally
