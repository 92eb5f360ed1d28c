#ifndef BUSSESSION_H
#define BUSSESSION_H

#include <TavrexBus1/modbuser.h>

#include <QtCore/QCommandLineParser>

#include <functional>
#include <memory>

class ModbusTransport;

// The bus side of the command-line client: the options every bus command shares, the
// transport named by --url and a Modbuser over it, and the polling loop.
class BusSession
{
public:
    BusSession();
    ~BusSession();

    QCommandLineParser &parser();
    // Parses the command's arguments; false with error set when they are not usable.
    bool parse(const QStringList &args, int minPositional, int maxPositional, QString &error);
    QStringList positional() const;
    bool isSet(const QString &option) const;
    QString value(const QString &option) const;

    bool open(QString &error);
    Modbuser &modbuser();
    // Runs poll once, or every --interval ms (--repeat times, or until stopped); the exit status.
    int run(const std::function<bool(QString &error)> &poll);

    static QString usage();

private:
    bool makeTransport(const QString &url, QString &error);

    QCommandLineParser m_parser;
    QStringList m_positional;
    std::unique_ptr<Modbuser> m_modbuser;
    ModbusTransport *m_transport = nullptr;
    int m_timeout = 1000;
};

#endif
