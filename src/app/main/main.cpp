#include "app/ui/DesktopApp.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QApplication::setApplicationName(QStringLiteral("Qel"));
    QApplication::setApplicationVersion(QStringLiteral(QEL_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.qel.Qel"));
    Q_INIT_RESOURCE(qel);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Controls a bench impedance (LCR) meter over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption device(QStringLiteral("device"),
        QStringLiteral("Serial device of the meter (e.g. /dev/ttyUSB0 or the path qel-meter-sim prints); "
                       "by default port 1, /dev/ttyS0."),
        QStringLiteral("path"));
    parser.addOption(device);
    QCommandLineOption meter(QStringLiteral("meter"),
        QStringLiteral("The meter profile (legacy, scpi-lcr, scpi-lcr-slots, one of your own, or auto); "
                       "the device may then be tcp://HOST:PORT."),
        QStringLiteral("profile"));
    parser.addOption(meter);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A .pro, .rpt or .pic file to open."), QStringLiteral("[file]"));
    parser.process(app);
    if (parser.positionalArguments().size() > 1)
        parser.showHelp(2);

    DesktopApp::Options options;
    options.device = parser.value(device);
    options.meter = parser.value(meter);
    options.file = parser.positionalArguments().value(0);
    DesktopApp qel(options);
    if (!qel.start())
        return 1;
    return app.exec();
}
