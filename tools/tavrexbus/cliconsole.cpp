#include "cliconsole.h"

namespace CliConsole {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

void printError(const QString &message)
{
    err() << "tavrexbus: " << message << Qt::endl;
}

int fail(const QString &message)
{
    printError(message);
    return 1;
}

} // namespace CliConsole
