#include "windows/ScanSettingsWindow.h"

#include "platform/gui/ErrorBox.h"
#include "store/settings/ScanSettings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

using katalox::platform::connectGuarded;

ScanSettingsWindow::ScanSettingsWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), fingerprints_(new QCheckBox(this)),
      archives_(new QCheckBox(this)), archiveFormats_(new QLineEdit(this)),
      decompressLimit_(new QSpinBox(this)) {
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
    auto* inside = new QGroupBox(tr("Archives"), this);
    archives_->setObjectName(QStringLiteral("archives"));
    archives_->setText(tr("List the files inside archives and disk images"));
    archiveFormats_->setObjectName(QStringLiteral("archiveFormats"));
    archiveFormats_->setToolTip(tr("File name extensions, separated by commas"));
    decompressLimit_->setObjectName(QStringLiteral("decompressLimit"));
    decompressLimit_->setRange(1, 1 << 20);
    decompressLimit_->setSuffix(tr(" MiB"));
    auto* insideLayout = new QFormLayout(inside);
    insideLayout->addRow(archives_);
    insideLayout->addRow(tr("Formats:"), archiveFormats_);
    insideLayout->addRow(tr("Decompress at most:"), decompressLimit_);
    auto* limitWhy = new QLabel(tr("Compressed tar files (.tar.gz, .tar.xz) are decompressed to "
                                   "be listed; larger ones are listed only as far as this."),
                                inside);
    limitWhy->setWordWrap(true);
    insideLayout->addRow(limitWhy);
    connect(archives_, &QCheckBox::toggled, archiveFormats_, &QWidget::setEnabled);
    connect(archives_, &QCheckBox::toggled, decompressLimit_, &QWidget::setEnabled);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    connectGuarded(buttons, &QDialogButtonBox::accepted, this, &ScanSettingsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prints);
    layout->addWidget(inside);
    layout->addStretch(1);
    layout->addWidget(buttons);
    resize(460, 360);
}

void ScanSettingsWindow::showSettings(const std::string& appDir) {
    appDir_ = appDir;
    const auto settings = katalox::store::ScanSettings::readFrom(appDir);
    fingerprints_->setChecked(settings.fingerprints);
    archives_->setChecked(settings.archives);
    QStringList formats;
    for (const std::string& format : settings.archiveFormats)
        formats << QString::fromStdString(format);
    archiveFormats_->setText(formats.join(QStringLiteral(", ")));
    archiveFormats_->setEnabled(settings.archives);
    decompressLimit_->setValue(static_cast<int>(settings.decompressLimitMiB));
    decompressLimit_->setEnabled(settings.archives);
    show();
    raise();
    activateWindow();
}

void ScanSettingsWindow::accept() {
    katalox::store::ScanSettings settings = katalox::store::ScanSettings::readFrom(appDir_);
    settings.fingerprints = fingerprints_->isChecked();
    settings.archives = archives_->isChecked();
    settings.archiveFormats.clear();
    for (const QString& format : archiveFormats_->text().split(QLatin1Char(','))) {
        QString plain = format.trimmed().toLower();
        if (plain.startsWith(QLatin1Char('.')))
            plain.remove(0, 1);
        if (!plain.isEmpty())
            settings.archiveFormats.push_back(plain.toStdString());
    }
    settings.decompressLimitMiB = static_cast<std::uint64_t>(decompressLimit_->value());
    settings.writeTo(appDir_);
    close();
}
