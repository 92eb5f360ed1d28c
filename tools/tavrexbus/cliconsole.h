#ifndef CLICONSOLE_H
#define CLICONSOLE_H

#include <QtCore/QString>
#include <QtCore/QTextStream>

// The command-line client's two streams: every command writes through the same ones, so that what one
// part of the program prints never overtakes what another printed first.
namespace CliConsole {

QTextStream &out();
QTextStream &err();
// Tells the user of a problem, after the program's name.
void printError(const QString &message);
// printError(message), and the exit status of a failed command.
int fail(const QString &message);

} // namespace CliConsole

#endif
