#pragma once
// The scan window: pick a folder in the shell folder tree, scan it and the folders below it for
// files matching name "." extension, review the list, insert it into the catalogue.
#include "scanner/FileWalk.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TForm2;
}
namespace katalox::widgets {
class ScanListModel;
}

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    // Proposes the selected folder as start folder and its display text as Disk ID.
    void ShellTreeView1Change();
    // "Scan for Files": checks the Disk ID, then runs the guarded scan.
    void BitBtn2Click();
    // "Insert To DataBase": one catalogue record per listed file that still exists.
    void BitBtn1Click();
    // The scan under a guard: any error empties the list and is reported by a message.
    void Search();
    // The scan itself: walk the start folder, list every matching file, count them.
    void SearchMtProc();
    // Keeps the list's size following the window's.
    void FormResize();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ComboBox1 shows the start folder and keeps its exact bytes.
    void setStartFolder(const std::string& folder);
    void setStatus(const QString& caption, const QColor& background);
    void fitLabels();
    void showSelectedLastLine();

    std::unique_ptr<Ui::TForm2> ui;
    katalox::widgets::ScanListModel* lines_;
    // The walk's list, held while the scan searches it.
    std::shared_ptr<std::vector<std::string>> folderList_;
    // The folder and patterns of the last scan, recorded with its insert.
    katalox::scanner::WalkRules scanRules_;
    bool scanRunning_ = false;
    bool quitRequested_ = false;
    bool placed_ = false;
};
