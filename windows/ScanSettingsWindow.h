#pragma once
// "Scan Settings...": our own settings for scanning, one group of controls per subject, kept
// in scan-settings.ini in the start directory. OK keeps them, Cancel leaves them as they were.
#include <QWidget>

#include <string>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class ScanSettingsWindow : public QWidget {
    Q_OBJECT
public:
    explicit ScanSettingsWindow(QWidget* parent = nullptr);

    // Shows the settings kept in `appDir`.
    void showSettings(const std::string& appDir);
    void accept();

private:
    std::string appDir_;
    QCheckBox* fingerprints_;
    QCheckBox* archives_;
    QLineEdit* archiveFormats_;
    QSpinBox* decompressLimit_;
};
