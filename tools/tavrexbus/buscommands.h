#ifndef BUSCOMMANDS_H
#define BUSCOMMANDS_H

#include <QtCore/QCommandLineOption>
#include <QtCore/QStringList>

// Commands that talk to a device; each returns the program's exit status.
namespace BusCommands {

int read(const QStringList &args);
int write(const QStringList &args);
int report(const QStringList &args);
int file(const QStringList &args);
int archive(const QStringList &args);
int labels(const QStringList &args);

// The options of the commands that have their own beside the bus options.
QList<QCommandLineOption> archiveOptions();
QList<QCommandLineOption> labelsOptions();
// Registers per request when a read or write is split.
int partSize();

}

#endif
