#pragma once
// "Verify This Disk...": reads every file of a connected disk whole, with the bytes read and
// the time left shown, and lists the files whose content changed while their size and time
// did not, the files gone and those unreadable. Cancel stops it; the next verification of the
// disk goes on from where it stopped.
#include <QWidget>

#include <QElapsedTimer>

#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class CatalogueCopies;

namespace katalox::store {
class Database;
struct DiskCheck;
struct VerifyFigures;
} // namespace katalox::store

// "verified on 9 Dec 2026", "verification stopped on ...", or empty when never verified: the
// date of the disk's last verification as the windows show it.
QString lastVerificationText(katalox::store::Database& db, const std::string& diskId);
QString lastVerificationText(const std::optional<katalox::store::DiskCheck>& check);

class VerifyDiskWindow : public QWidget {
    Q_OBJECT
public:
    explicit VerifyDiskWindow(QWidget* parent = nullptr);

    // Verifies the Disk ID's disk, showing the window; returns when the verification ends or
    // is stopped. A message tells when the disk is not connected.
    void verifyDisk(const CatalogueCopies& catalogue, const std::string& diskId);
    void stop() { stopped_ = true; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showProgress(const katalox::store::VerifyFigures& figures);
    void showFindings(const CatalogueCopies& catalogue, const std::string& diskId,
                      const katalox::store::VerifyFigures& figures);

    QLabel* heading_;
    QProgressBar* progress_;
    QLabel* status_;
    QTreeWidget* findings_;
    QPushButton* cancel_;
    QElapsedTimer elapsed_;
    std::int64_t bytesAtStart_ = 0;
    bool running_ = false;
    bool stopped_ = false;
};
