#pragma once
// The scan window's list of found files: full paths kept as byte strings in one buffer, shown
// by a view on demand. Rows are appended in batches, once per turn of the event loop, so a scan
// of hundreds of thousands of files does not make the view lay itself out per row.
#include <QAbstractListModel>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace katalox::widgets {

class ScanListModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ScanListModel(QObject* parent = nullptr);

    // Rows the view shows: the lines appended up to the last flush().
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The line for display: invalid UTF-8 and control characters show as U+FFFD.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Adds a line at the end. It becomes a row at the next turn of the event loop or at the
    // next flush(), whichever comes first. Throws Error when the list is full.
    void append(std::string_view line);
    // Makes every appended line a row now; emits linesShown() when rows were added.
    void flush();
    // Removes every line, shown or not.
    void clear();

    // Every line appended since the last clear(), shown or not.
    std::size_t lineCount() const { return spans_.size(); }
    // A line exactly as appended, byte for byte.
    std::string_view line(std::size_t index) const;

signals:
    // New rows were added at the end of the list.
    void linesShown();

private:
    void flushFromEventLoop();

    // Where one line lies: which chunk, and its bytes there.
    struct LineSpan {
        std::uint32_t chunk;
        std::uint32_t begin;
        std::uint32_t size;
    };
    // Lines back to back in chunks of about a megabyte, so growing the list never copies all
    // it holds (copying a million paths at once would stall the window mid-scan).
    std::vector<std::string> chunks_;
    std::vector<LineSpan> spans_;
    std::size_t shownRows_ = 0;
    bool flushPending_ = false;
};

} // namespace katalox::widgets
