// Start-up of the main window over a catalogue of a million records: time until the grid is
// painted, the jump to the last record, and the memory the large table costs over an empty one.
// Each case runs in a fresh process of this program so their memory does not mix.
#include "BenchUtil.h"
#include "CatalogData.h"

#include "store/dataset/Table.h"
#include "widgets/DBGrid.h"
#include "windows/TForm1.h"

#include <QApplication>
#include <QProcess>

#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace katalox;

namespace {

constexpr std::int64_t kRecords = 1000000;

struct Measured {
    double startMs = 0;
    double lastMs = 0;
    double rssGrowthMb = 0;
};

// Child: opens the main window on the catalogue in `folder` and prints what it measured.
int measure(int argc, char** argv, const std::string& folder) {
    QApplication application(argc, argv);
    const double rssBefore = bench::residentMb();
    const double start = bench::nowMs();
    auto form = std::make_unique<TForm1>();
    form->FormCreate();
    form->openCatalogue(folder, "Files.db");
    form->show();
    form->grab();
    const double painted = bench::nowMs();

    QAbstractItemModel* model = form->DBGrid1->model();
    form->DBGrid1->setCurrentIndex(model->index(model->rowCount() - 1, 0));
    form->DBGrid1->scrollToBottom();
    form->DBGrid1->grab();
    const double last = bench::nowMs();
    std::printf("%f %f %f\n", painted - start, last - painted, bench::residentMb() - rssBefore);
    return 0;
}

Measured runChild(const char* self, const std::string& folder) {
    QProcess child;
    child.start(QString::fromLocal8Bit(self),
                {QStringLiteral("--measure"), QString::fromStdString(folder)});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        throw std::runtime_error("measuring process failed");
    std::istringstream out(child.readAllStandardOutput().toStdString());
    Measured measured;
    out >> measured.startMs >> measured.lastMs >> measured.rssGrowthMb;
    return measured;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--measure")
        return measure(argc, argv, argv[2]);

    QCoreApplication application(argc, argv);
    bench::ScratchDir scratch;
    const std::string empty = scratch.path() + "/empty";
    const std::string large = scratch.path() + "/large";
    std::filesystem::create_directories(empty);
    std::filesystem::create_directories(large);
    store::createEmptyCatalog(empty + "/Files.db");
    bench::makeCatalog(large + "/Files.db", kRecords, 100);

    const Measured emptyCase = runChild(argv[0], empty);
    const Measured largeCase = runChild(argv[0], large);
    bench::report("startup.empty.ms", emptyCase.startMs, "ms");
    bench::report("startup.1m.ms", largeCase.startMs, "ms");
    bench::report("startup.1m.last_record.ms", largeCase.lastMs, "ms");
    bench::report("startup.1m.rss_mb", largeCase.rssGrowthMb - emptyCase.rssGrowthMb, "MB");
    return 0;
}
