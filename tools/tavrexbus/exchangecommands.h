#ifndef EXCHANGECOMMANDS_H
#define EXCHANGECOMMANDS_H

#include <QtCore/QCommandLineOption>
#include <QtCore/QStringList>

// Commands that save a register map's values from a device to files and write them back.
namespace ExchangeCommands {

int exportValues(const QStringList &args);
int importValues(const QStringList &args);

QList<QCommandLineOption> exportOptions();
QList<QCommandLineOption> importOptions();

}

#endif
