#include "app/ApplicationsView.h"

#include "history/ApplicationName.h"
#include "history/ApplicationsRest.h"
#include "charts/ApplicationsWindow.h"
#include "app/BringToFront.h"
#include "platform/system/Environment.h"
#include "history/HistoryStore.h"
#include "meter/Meter.h"
#include "net/TrafficSample.h"
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
    QObject::connect(
        applications, &QAction::triggered, window, [window, &meter, history, serviceAnswers] {
            const NetworkRecord &record = meter.record();
            const QDateTime since =
                record.service && record.periodBegan() ? record.resetDate : QDateTime();
            QList<ApplicationsWindow::Row> rows;
            QList<ApplicationBytes> counted;
            // The rows add up to the totals the main window shows: the
            // applications, what they leave of the history's bytes since
            // the reset, and the meter's bytes not written yet.
            TrafficTotals written;
            HistoryStore *store = history();
            // The applications first: bytes written between the two reads
            // only add to what no application was given.
            if (since.isValid() && store &&
                store
                    ->applications(*record.service, since, Environment::current().now().addDays(1),
                                   &counted)
                    .ok() &&
                store->bytesSince(*record.service, since, &written).ok()) {
                const CounterSource source = counterSourceNamed(record.prevSource);
                const QStringList folders = applicationDataFolders();
                for (const ApplicationBytes &bytes :
                     withRest(counted, record.totals(), written,
                              source == CounterSource::Router || source == CounterSource::Upnp))
                    rows.append({applicationName(bytes.application, folders), bytes});
            }
            window->showApplications(since, rows, record.totalIn + record.totalOut);
            window->showServiceAnswers(serviceAnswers());
            bringToFront(window);
        });
}

} // namespace flowtally
