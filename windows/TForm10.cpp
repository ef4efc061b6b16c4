#include "windows/TForm10.h"

#include "platform/gui/ErrorBox.h"
#include "platform/gui/JpegDecoder.h"
#include "platform/gui/ShellOpen.h"
#include "ui_TForm10.h"
#include "widgets/WindowHelpers.h"
#include "windows/WebAddresses.h"

#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QShowEvent>

namespace {

const char* const kPictureResource = ":/about/katalox-logo.jpg";

} // namespace

TForm10::TForm10(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TForm10>()) {
    ui_->setupUi(this);
    katalox::widgets::useWindowFont(this);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFixedSize(205, 54);

    ui_->Label2->setText(katalox::makerName());
    // The label shows exactly the address that its click opens.
    ui_->Label1->setText(katalox::makerWebAddress());
    katalox::widgets::fitLabelToText(ui_->Label2, ui_->Label2->width());
    katalox::widgets::fitLabelToText(ui_->Label1, ui_->Label1->width());
    ui_->Label1->installEventFilter(this);
    katalox::widgets::closeOnEscape(this);

    katalox::initAboutResources();
    QFile picture(kPictureResource);
    picture.open(QIODevice::ReadOnly);
    loadPicture(picture.readAll());
}

TForm10::~TForm10() = default;

void TForm10::Label1Click() {
    katalox::platform::shellOpen(katalox::makerWebAddress());
}

void TForm10::loadPicture(const QByteArray& jpeg) {
    ui_->Image1->clear();
    katalox::platform::guarded(
        [&] { ui_->Image1->setPixmap(QPixmap::fromImage(katalox::platform::decodeJpeg(jpeg))); });
}

// Each time it appears, the window is centred on the main window.
void TForm10::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        katalox::widgets::centreOverMainWindow(this);
    QWidget::showEvent(event);
}

bool TForm10::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Label1 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            ui_->Label1->rect().contains(mouse->position().toPoint())) {
            katalox::platform::guarded([this] { Label1Click(); });
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
