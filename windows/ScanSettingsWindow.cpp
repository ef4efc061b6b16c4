#include "windows/ScanSettingsWindow.h"

#include "platform/gui/ErrorBox.h"
#include "store/settings/ScanSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using katalox::platform::connectGuarded;

ScanSettingsWindow::ScanSettingsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), fingerprints_(new QCheckBox(this)) {
    setObjectName(QStringLiteral("scanSettings"));
    setWindowTitle(tr("Scan Settings"));
    auto* prints = new QGroupBox(tr("Fingerprints"), this);
    fingerprints_->setObjectName(QStringLiteral("fingerprints"));
    fingerprints_->setText(tr("Take a fingerprint of each file as it is inserted"));
    auto* why = new QLabel(tr("Reads up to 48 KiB of every file, so that copies are found on "
                              "every disk. Turn it off for slow media."),
                           prints);
    why->setWordWrap(true);
    auto* printsLayout = new QVBoxLayout(prints);
    printsLayout->addWidget(fingerprints_);
    printsLayout->addWidget(why);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connectGuarded(buttons, &QDialogButtonBox::accepted, this, &ScanSettingsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prints);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(420, 200);
}

void ScanSettingsWindow::showSettings(const std::string& appDir) {
    appDir_ = appDir;
    fingerprints_->setChecked(katalox::store::ScanSettings::readFrom(appDir).fingerprints);
    show();
    raise();
    activateWindow();
}

void ScanSettingsWindow::accept() {
    katalox::store::ScanSettings settings = katalox::store::ScanSettings::readFrom(appDir_);
    settings.fingerprints = fingerprints_->isChecked();
    settings.writeTo(appDir_);
    close();
}
