#include "windows/UnwrittenRecords.h"

#include "platform/DisplayText.h"
#include "platform/gui/Dialogs.h"
#include "store/catalog/Catalog.h"
#include "store/search/BackgroundProblems.h"
#include "store/sqlite/Database.h"

#include <QTimer>

namespace katalox {

void watchBackgroundWork(QObject* owner) {
    auto* retry = new QTimer(owner);
    retry->setInterval(1000);
    QObject::connect(retry, &QTimer::timeout, retry, [] {
        store::Database::retryUnwritten();
        for (const std::string& problem : store::takeBackgroundProblems())
            platform::Dialogs::instance().showMessage(platform::displayText(problem));
    });
    retry->start();
}

void writeUnwrittenRecordsBeforeExit() {
    for (;;) {
        const store::Database::Unwritten unwritten = store::Database::writeAllPending();
        if (unwritten.records == 0)
            return;
        const std::string question = store::recordCountText(unwritten.records) +
                                     " could not be written to the catalogue: " + unwritten.reason +
                                     ".\nOK tries again; Cancel ends the program without them.";
        if (!platform::Dialogs::instance().confirm(platform::displayText(question)))
            return;
    }
}

} // namespace katalox
