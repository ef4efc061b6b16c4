#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace katalox {

namespace {

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

void setApplicationIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Katalox"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KATALOX_VERSION));
}

CommandLine readCommandLine(int argc, char** argv) {
    // A core application only: reading the options must work where no display can be opened.
    QCoreApplication core(argc, argv);
    setApplicationIdentity();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Keeps a catalogue of the files on your disks, folders and removable media, "
                       "and finds on which one a file lies without that disk present.\n\n"
                       "Without options the current folder holds config.ini, which names the "
                       "catalogue."));
    // Our own help option: Qt's adds --help-all, which lists options of a display we never open.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption userFolder(
        QStringLiteral("user-folder"),
        QStringLiteral("Work in the per-user folder $XDG_DATA_HOME/katalox (by default "
                       "~/.local/share/katalox), prepared on first start with config.ini and an "
                       "empty catalogue."));
    parser.addOption(userFolder);

    CommandLine result;
    const QString program = QStringLiteral("katalox");
    if (!parser.parse(QCoreApplication::arguments())) {
        print(stderr, QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n")
                          .arg(program, parser.errorText()));
        result.exitCode = 2;
    } else if (parser.isSet(help)) {
        print(stdout, parser.helpText());
        result.exitCode = 0;
    } else if (parser.isSet(version)) {
        print(stdout, program + ' ' + QCoreApplication::applicationVersion() + '\n');
        result.exitCode = 0;
    } else if (!parser.positionalArguments().isEmpty()) {
        print(stderr, QStringLiteral("%1: unexpected argument '%2'\nTry '%1 --help' for more "
                                     "information.\n")
                          .arg(program, parser.positionalArguments().constFirst()));
        result.exitCode = 2;
    }
    result.options.userFolder = parser.isSet(userFolder);
    return result;
}

} // namespace katalox
