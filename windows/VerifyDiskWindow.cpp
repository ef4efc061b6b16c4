#include "windows/VerifyDiskWindow.h"

#include "platform/DisplayText.h"
#include "platform/Error.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "store/copies/DiskVerification.h"
#include "store/copies/VerifyStore.h"
#include "store/sqlite/Database.h"
#include "widgets/SizeText.h"
#include "widgets/WindowHelpers.h"
#include "windows/CatalogueCopies.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

using katalox::platform::displayText;
using katalox::store::VerifyFigures;
using katalox::store::VerifyFinding;

namespace {

QString findingText(VerifyFinding finding) {
    switch (finding) {
    case VerifyFinding::Corrupted:
        return VerifyDiskWindow::tr("Content changed, size and time did not");
    case VerifyFinding::Gone:
        return VerifyDiskWindow::tr("Gone");
    case VerifyFinding::Unreadable:
        return VerifyDiskWindow::tr("Unreadable");
    case VerifyFinding::Modified:
        return VerifyDiskWindow::tr("Changed since the scan");
    }
    return {};
}

QString timeLeftText(double seconds) {
    if (seconds < 90)
        return VerifyDiskWindow::tr("about %n second(s) left", nullptr,
                                    static_cast<int>(std::ceil(seconds)));
    if (seconds < 5400)
        return VerifyDiskWindow::tr("about %n minute(s) left", nullptr,
                                    static_cast<int>(std::lround(seconds / 60)));
    return VerifyDiskWindow::tr("about %n hour(s) left", nullptr,
                                static_cast<int>(std::lround(seconds / 3600)));
}

QString dateText(std::int64_t seconds) {
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).date(), QLocale::ShortFormat);
}

} // namespace

QString lastVerificationText(katalox::store::Database& db, const std::string& diskId) {
    return lastVerificationText(katalox::store::lastDiskCheck(db, diskId));
}

QString lastVerificationText(const std::optional<katalox::store::DiskCheck>& check) {
    if (!check)
        return {};
    return check->finished ? VerifyDiskWindow::tr("verified on %1").arg(dateText(*check->finished))
                           : VerifyDiskWindow::tr("verification stopped, begun on %1")
                                 .arg(dateText(check->started));
}

VerifyDiskWindow::VerifyDiskWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), heading_(new QLabel(this)), progress_(new QProgressBar(this)),
      status_(new QLabel(this)), findings_(new QTreeWidget(this)),
      cancel_(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("verifyDiskWindow"));
    katalox::widgets::useWindowFont(this);
    heading_->setObjectName(QStringLiteral("verifyHeading"));
    heading_->setWordWrap(true);
    progress_->setObjectName(QStringLiteral("verifyProgress"));
    progress_->setRange(0, 1000);
    status_->setObjectName(QStringLiteral("verifyStatus"));
    findings_->setObjectName(QStringLiteral("verifyFindings"));
    findings_->setHeaderLabels({tr("File"), tr("Found")});
    findings_->setRootIsDecorated(false);
    findings_->setUniformRowHeights(true);
    findings_->header()->setStretchLastSection(false);
    findings_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    findings_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    cancel_->setObjectName(QStringLiteral("verifyCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addWidget(findings_, 1);
    layout->addLayout(buttons);
    resize(620, 420);
    katalox::platform::connectGuarded(cancel_, &QPushButton::clicked, this, [this] {
        if (running_)
            stop();
        else
            close();
    });
}

void VerifyDiskWindow::closeEvent(QCloseEvent* event) {
    stopped_ = true; // what was read stays; the next verification goes on from there
    event->accept();
}

void VerifyDiskWindow::verifyDisk(const CatalogueCopies& catalogue, const std::string& diskId) {
    if (running_)
        return; // one verification at a time
    std::unique_ptr<katalox::store::DiskVerification> verification;
    try {
        // A connection of its own for the whole run; the shown catalogue may change meanwhile.
        verification =
            std::make_unique<katalox::store::DiskVerification>(catalogue.verifyStore(), diskId);
    } catch (const katalox::Error& error) {
        katalox::platform::Dialogs::instance().showMessage(QString::fromUtf8(error.what()));
        return;
    }
    setWindowTitle(tr("Verify Disk \"%1\"").arg(displayText(diskId)));
    heading_->setText(
        verification->resuming()
            ? tr("Going on with the verification of \"%1\" begun on %2.")
                  .arg(displayText(diskId),
                       QLocale().toString(QDateTime::fromSecsSinceEpoch(verification->started()),
                                          QLocale::ShortFormat))
            : tr("Reading every file of \"%1\" whole.").arg(displayText(diskId)));
    findings_->clear();
    cancel_->setText(tr("Cancel"));
    if (!isVisible())
        katalox::widgets::centreOverMainWindow(this);
    katalox::widgets::showForm(this);

    running_ = true;
    stopped_ = false;
    bytesAtStart_ = -1;
    elapsed_.start();
    VerifyFigures figures;
    try {
        figures = verification->run([this](const VerifyFigures& now) {
            showProgress(now);
            return !stopped_;
        });
    } catch (...) {
        running_ = false;
        cancel_->setText(tr("Close"));
        throw;
    }
    running_ = false;
    cancel_->setText(tr("Close"));
    showProgress(figures);
    showFindings(catalogue, diskId, figures);
}

void VerifyDiskWindow::showProgress(const VerifyFigures& figures) {
    if (bytesAtStart_ < 0)
        bytesAtStart_ = figures.bytesChecked;
    const double share = figures.bytes > 0 ? static_cast<double>(figures.bytesChecked) /
                                                 static_cast<double>(figures.bytes)
                                           : 1.0;
    progress_->setValue(static_cast<int>(std::lround(share * 1000)));
    QString text =
        tr("%1 of %2 read, %3 of %4 files")
            .arg(katalox::widgets::sizeText(static_cast<double>(figures.bytesChecked)),
                 katalox::widgets::sizeText(static_cast<double>(figures.bytes)))
            .arg(QLocale().toString(figures.filesChecked), QLocale().toString(figures.files));
    const double seconds = static_cast<double>(elapsed_.elapsed()) / 1000.0;
    const auto readNow = static_cast<double>(figures.bytesChecked - bytesAtStart_);
    if (!figures.finished && seconds > 2 && readNow > 0)
        text += QStringLiteral(", ") +
                timeLeftText(static_cast<double>(figures.bytes - figures.bytesChecked) /
                             (readNow / seconds));
    status_->setText(text);
}

void VerifyDiskWindow::showFindings(const CatalogueCopies& catalogue, const std::string& diskId,
                                    const VerifyFigures& figures) {
    for (const katalox::store::FoundProblem& problem : catalogue.findings(diskId)) {
        auto* item = new QTreeWidgetItem(findings_);
        item->setText(0, displayText(problem.storedPath));
        item->setText(1, findingText(problem.finding));
    }
    QString summary =
        figures.finished
            ? tr("Verified: %1 files read whole.").arg(QLocale().toString(figures.filesChecked))
            : tr("Stopped after %1 of %2 files; verifying the disk again goes on from here.")
                  .arg(QLocale().toString(figures.filesChecked), QLocale().toString(figures.files));
    summary += QLatin1Char(' ') + tr("%1 changed while size and time did not, %2 gone, %3 "
                                     "unreadable, %4 changed since the scan.")
                                      .arg(figures.corrupted)
                                      .arg(figures.gone)
                                      .arg(figures.unreadable)
                                      .arg(figures.modified);
    if (figures.notReached > 0)
        summary +=
            QLatin1Char(' ') + tr("%1 files lie on a volume of the disk that is not connected.")
                                   .arg(figures.notReached);
    heading_->setText(summary);
}
