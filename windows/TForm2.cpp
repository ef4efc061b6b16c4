#include "windows/TForm2.h"

#include "ui_TForm2.h"

#include "platform/DisplayText.h"
#include "platform/Find.h"
#include "platform/MessagePump.h"
#include "platform/Paths.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/ErrorBox.h"
#include "scanner/DirLister.h"
#include "widgets/Anchors.h"
#include "widgets/ScanListModel.h"
#include "widgets/WindowHelpers.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"

#include <QApplication>
#include <QHeaderView>
#include <QResizeEvent>
#include <QShortcut>
#include <QStyle>

#include <algorithm>
#include <climits>

using katalox::platform::bytesOf;
using katalox::platform::connectGuarded;
using katalox::platform::Dialogs;
using katalox::platform::FindOperation;
using katalox::platform::FindRequest;

namespace {

const QColor kGreen(0, 128, 0);
const QColor kRed(255, 0, 0);

// The window's designed client size and the frame the layout was drawn with: the list's size
// follows the outer size of the window, which is the client size plus this frame.
constexpr QSize kClientSize(438, 457);
constexpr int kFrameWidth = 446 - 438;
constexpr int kFrameHeight = 484 - 457;

// Marks a scan as running for as long as it lasts, also when it ends by an error.
class ScanFlag {
public:
    explicit ScanFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScanFlag() { flag_ = false; }
    ScanFlag(const ScanFlag&) = delete;
    ScanFlag& operator=(const ScanFlag&) = delete;

private:
    bool& flag_;
};

} // namespace

TForm2::TForm2(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TForm2>()),
      lines_(new katalox::widgets::ScanListModel(this)) {
    ui->setupUi(this);
    katalox::widgets::useWindowFont(this);
    QPalette background = palette();
    background.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    setPalette(background);
    ui->BitBtn2->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    ui->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    setStartFolder("/");
    // A one-column table rather than a list view: appending a batch costs a list view a layout
    // of every row (about 40 ms at a million rows), a table with fixed row heights almost nothing.
    ui->ListBox1->setModel(lines_);
    ui->ListBox1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->ListBox1->verticalHeader()->setDefaultSectionSize(std::max(13, fontMetrics().height()));
    setStatus(ui->Label5->text(), kGreen);
    katalox::widgets::installAnchors(this, this, kClientSize);

    connect(lines_, &katalox::widgets::ScanListModel::linesShown, this,
            &TForm2::showSelectedLastLine);
    connectGuarded(ui->ShellTreeView1, &katalox::widgets::ShellTreeView::selectedFolderChanged,
                   this, &TForm2::ShellTreeView1Change);
    connectGuarded(ui->BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
    connectGuarded(ui->BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    // Closing the main window during a scan ends the program; the scan then stops at its next
    // step instead of running on in a program whose windows are gone.
    qApp->installEventFilter(this);
    katalox::widgets::closeOnEscape(this);
    // F5 reads the folders shown in the tree again (a disk mounted since, a folder made since).
    auto* rereadTree = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(rereadTree, &QShortcut::activated, ui->ShellTreeView1,
            &katalox::widgets::ShellTreeView::refresh);
    FormResize();
}

TForm2::~TForm2() = default;

void TForm2::ShellTreeView1Change() {
    std::string folder = ui->ShellTreeView1->selectedPath();
    ui->Edit3->setText(ui->ShellTreeView1->selectedDisplayText());
    if (folder.empty() || folder.back() != katalox::platform::kPathSeparator)
        folder += katalox::platform::kPathSeparator;
    setStartFolder(folder);
}

void TForm2::BitBtn2Click() {
    // One scan at a time: the walk keeps its state once, and the list is in use.
    if (scanRunning_)
        return;
    if (ui->Edit3->text().isEmpty()) {
        Dialogs::instance().showMessage(QStringLiteral("There is no Disk ID"));
        return;
    }
    ScanFlag running(scanRunning_);
    quitRequested_ = false;
    scanRules_ = {katalox::platform::keptBytes(ui->ComboBox1, ui->ComboBox1->currentText()),
                  bytesOf(ui->Edit1->text()), bytesOf(ui->Edit2->text())};
    setStatus(QStringLiteral("  Searching  "), kRed);
    lines_->clear();
    repaint();
    Search();
    if (!quitRequested_)
        Dialogs::instance().showMessage(
            QStringLiteral("Scan Finished - To Insert Click Insert to Database"));
}

void TForm2::Search() {
    try {
        SearchMtProc();
    } catch (...) {
        Dialogs::instance().showMessage(
            QStringLiteral("No Access To Files on location->Scan by other SubDir"));
        lines_->clear();
    }
    setStatus(QStringLiteral("  Done  "), kGreen);
}

void TForm2::SearchMtProc() {
    folderList_ = katalox::scanner::ListAllDirs(
        katalox::platform::keptBytes(ui->ComboBox1, ui->ComboBox1->currentText()));
    const std::vector<std::string>& folders = *folderList_;
    const auto count = static_cast<int>(std::min<std::size_t>(folders.size(), INT_MAX));
    ui->ProgressBar1->setMaximumChecked(count <= 2 ? 1 : count - 1);
    for (int i = 0; i < count && !quitRequested_; ++i) {
        const std::string& folder = folders[static_cast<std::size_t>(i)];
        // The boxes are read for every folder: they may be edited while the scan runs.
        const std::string pattern =
            folder + bytesOf(ui->Edit1->text()) + "." + bytesOf(ui->Edit2->text());
        FindOperation find(pattern, FindRequest::AnyKind);
        std::string line = folder;
        while (!quitRequested_ && find.next()) {
            const std::string& name = find.name();
            if (name != "." && name != ".." && !find.isDirectory()) {
                line.resize(folder.size());
                line += name;
                lines_->append(line);
            }
            katalox::platform::processMessages();
        }
        ui->ProgressBar1->setPosition(i, katalox::widgets::CheckedProgressBar::Redraw::Pending);
    }
    if (quitRequested_)
        return;
    lines_->flush();
    ui->ItemsCount->setText(QStringLiteral("Items Count: ") + QString::number(lines_->lineCount()));
    fitLabels();
}

void TForm2::setStartFolder(const std::string& folder) {
    ui->ComboBox1->setEditText(katalox::platform::displayText(folder));
    katalox::platform::keepBytes(ui->ComboBox1, folder);
}

void TForm2::FormResize() {
    const QSize outer = size() + QSize(kFrameWidth, kFrameHeight);
    ui->ListBox1->resize(outer.width() - 210, outer.height() - 176);
    fitLabels();
}

void TForm2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        katalox::widgets::centreOverMainWindow(this);
    }
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    // Closing the main window ends the program, as does a request to quit.
    if (scanRunning_ &&
        ((event->type() == QEvent::Quit && watched == qApp) ||
         (event->type() == QEvent::Close && Form1 && watched == static_cast<QObject*>(Form1)))) {
        quitRequested_ = true;
        katalox::scanner::stopWalk(); // a walk of a large tree would otherwise run on
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::setStatus(const QString& caption, const QColor& background) {
    ui->Label5->setText(caption);
    QPalette colours = ui->Label5->palette();
    colours.setColor(QPalette::Window, background);
    colours.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Base));
    ui->Label5->setPalette(colours);
    fitLabels();
}

// The labels size themselves to their text, so they stay readable in a font wider than the one
// the layout was drawn with: each keeps its left edge, the right-aligned count its right edge.
void TForm2::fitLabels() {
    for (QLabel* label : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6})
        katalox::widgets::fitLabelToText(label);
    QLabel* count = ui->ItemsCount;
    const int right = count->geometry().right();
    katalox::widgets::fitLabelToText(count, 59);
    count->move(right - count->width() + 1, count->y());
}

void TForm2::showSelectedLastLine() {
    const int last = lines_->rowCount() - 1;
    if (last >= 0)
        ui->ListBox1->setCurrentIndex(lines_->index(last));
}
