#include "headlessconsole.h"
#include "keysconsole.h"

#include <QtCore/qcommandlineparser.h>
#include <QtCore/qtextstream.h>
#include <QtGui/qguiapplication.h>

int main(int argc, char *argv[])
{
    useOffscreenByDefault();
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("keys"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Opens a meter's C55 device node and prints the key presses of its keypad, as the keypad "
                       "announces them and as a focused item receives them, until Ctrl-C."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("device"), QStringLiteral("The C55 device node (tavrexbus-sim --c55 names one)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("Stop after this many key codes."), QStringLiteral("n"),
                      QStringLiteral("0")});
    parser.addOption({QStringLiteral("qml"), QStringLiteral("QML file to run instead of the built-in one."),
                      QStringLiteral("file"), QStringLiteral(EXAMPLE_QML_FILE)});
    parser.process(app);

    bool countOk = false;
    const int count = parser.value(QStringLiteral("count")).toInt(&countOk);
    if (!parser.isSet(QStringLiteral("device")) || !countOk || count < 0) {
        QTextStream(stderr) << "keys: give --device PATH (and --count N with N >= 0)" << Qt::endl;
        return 2;
    }

    KeysConsole console(parser.value(QStringLiteral("device")), count);
    return runHeadlessQml(parser.value(QStringLiteral("qml")), QStringLiteral(EXAMPLE_IMPORT_PATH),
                          QStringLiteral("keysApp"), console);
}
