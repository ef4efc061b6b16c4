#pragma once
// The developer-information window: the maker's picture, name and web address. Created hidden
// once at start; closing it only hides it.
#include <QByteArray>
#include <QWidget>

#include <memory>

namespace Ui {
class TForm10;
}

class TForm10 : public QWidget {
    Q_OBJECT
public:
    explicit TForm10(QWidget* parent = nullptr);
    ~TForm10() override;

    // Opens the maker's web page in the default browser.
    void Label1Click();

    // Shows a JPEG picture unscaled at the top left of Image1. A damaged picture leaves Image1
    // empty and its error goes to the error box; the window stays usable.
    void loadPicture(const QByteArray& jpeg);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TForm10> ui_;
};
