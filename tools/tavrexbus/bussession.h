#ifndef BUSSESSION_H
#define BUSSESSION_H

#include <TavrexBus1/modbuser.h>

#include <QtCore/QCommandLineParser>

#include <functional>
#include <memory>

class ModbusClient;
class ModbusPacket;
class ModbusTransport;

// The bus side of the command-line client: the options every bus command shares, the
// transport named by --url and a Modbuser over it, and the polling loop.
class BusSession
{
public:
    // extraOptions: the command's own options beside the shared ones.
    explicit BusSession(const QString &command, const QList<QCommandLineOption> &extraOptions = {});
    ~BusSession();

    // Parses the command's arguments; false with error set when they are not usable.
    bool parse(const QStringList &args, int minPositional, int maxPositional, QString &error);
    QStringList positional() const;
    bool isSet(const QString &option) const;
    QString value(const QString &option) const;

    bool open(QString &error);
    // Opens the link for a ModbusClient instead of this session's Modbuser: the client and the items
    // on it do the talking, once and without polling.
    bool openForClient(ModbusClient &client, QString &error);
    Modbuser &modbuser();
    // Runs poll once, or every --interval ms (--repeat times, or until stopped), reconnecting a
    // lost link meanwhile; the exit status.
    int run(const std::function<bool(QString &error)> &poll);

    // The options every bus command takes.
    static QList<QCommandLineOption> options();

private:
    bool makeTransport(const QString &url, QString &error);
    bool makeSerialTransport(const QUrl &url, QString &error);
    bool makeUsbTransport(const QString &text, QString &error);
    template <typename IpClient>
    IpClient *withTimeouts(IpClient *client) const;
    bool pollOnce(const std::function<bool(QString &error)> &poll);
    void reportLinkDown();
    void onConnectedChanged();
    void noteRequest(const ModbusPacket &request);
    void noteAnswer(const ModbusPacket &answer);
    QString failureText(const QString &error) const;

    QString m_command;
    QCommandLineParser m_parser;
    QStringList m_positional;
    std::unique_ptr<Modbuser> m_modbuser;
    ModbusTransport *m_transport = nullptr;
    int m_timeout = 1000;
    // The last request in one line, and what its exception answer said (empty: none).
    QString m_request;
    QString m_exception;
    // The link's loss (or first failure) has been told; the link has been up before.
    bool m_linkReported = false;
    bool m_wasConnected = false;
};

#endif
