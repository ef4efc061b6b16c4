#include "app/Application.h"

#include "platform/Paths.h"
#include "platform/gui/ErrorBox.h"
#include "store/settings/UserFolder.h"
#include "windows/Forms.h"
#include "windows/TForm1.h"
#include "windows/TForm10.h"
#include "windows/TForm2.h"
#include "windows/TForm3.h"
#include "windows/UnwrittenRecords.h"

#include <QApplication>
#include <QIcon>

// Outside any namespace: Q_INIT_RESOURCE declares the resource's registration function.
static void registerIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace katalox {

namespace {

// Ends the event loop when the main window closes, whatever other windows are still open.
class MainWindowWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close)
            QCoreApplication::exit(0);
        return QObject::eventFilter(watched, event);
    }
};

template <typename Form> void destroy(Form*& instance) {
    delete instance;
    instance = nullptr;
}

} // namespace

WindowFactories defaultWindowFactories() {
    return {
        [] {
            Form1 = new TForm1;
            Form1->FormCreate();
        },
        [] { Form2 = new TForm2; },
        [] {
            Form3 = new TForm3;
            Form3->FormCreate();
        },
        [] { Form10 = new TForm10; },
    };
}

void createWindows(const WindowFactories& factories) {
    // Form1 and its data components exist before Form3 configures them.
    for (const auto* create : {&factories.createForm1, &factories.createForm2,
                               &factories.createForm3, &factories.createForm10}) {
        if (*create)
            platform::guarded(*create);
    }
}

int runMainWindow() {
    if (!Form1)
        return 1;
    const bool quitOnLastWindow = QApplication::quitOnLastWindowClosed();
    QApplication::setQuitOnLastWindowClosed(false);
    MainWindowWatcher watcher;
    Form1->installEventFilter(&watcher);
    Form1->show();
    const int exitCode = QApplication::exec();
    Form1->removeEventFilter(&watcher);
    QApplication::setQuitOnLastWindowClosed(quitOnLastWindow);
    return exitCode;
}

void destroyWindows() {
    destroy(Form10);
    destroy(Form3);
    destroy(Form2);
    destroy(Form1);
}

void setDesktopIdentity() {
    // The desktop entry the windows belong to, so a desktop shows its name and icon for them.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.katalox.Katalox"));
    registerIconResources();
    QIcon icon;
    for (const int size : {48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/katalox-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
}

bool enterUserFolder() {
    try {
        const std::string folder = store::userFolderPath();
        store::prepareUserFolder(folder);
        platform::setCurrentDirectory(folder);
        return true;
    } catch (const std::exception& error) {
        platform::showTopLevelError(error);
        return false;
    }
}

int runProgram(const StartOptions& options) {
    if (options.userFolder && !enterUserFolder())
        return 1;
    createWindows(defaultWindowFactories());
    const int exitCode = runMainWindow();
    writeUnwrittenRecordsBeforeExit();
    destroyWindows();
    return exitCode;
}

int runApplication(int argc, char** argv) {
    const CommandLine commandLine = readCommandLine(argc, argv);
    if (commandLine.exitCode)
        return *commandLine.exitCode;
    QApplication application(argc, argv);
    setApplicationIdentity();
    setDesktopIdentity();
    return runProgram(commandLine.options);
}

} // namespace katalox
