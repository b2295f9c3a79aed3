#include "platform/qt/dde_server.h"

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

#include <unistd.h>

namespace {

// Bytes gathered per connection, kept on the socket itself.
constexpr const char* BufferProperty = "TavroDdeBuffer";
constexpr const char* OverflowProperty = "TavroDdeOverflow";

} // namespace

QString DdeServerName(const std::string& Service)
{
    return QString::fromStdString(Service) + QLatin1Char('-') + QString::number(::getuid());
}

void SplitExecuteLines(const std::string& Text, TStringList& Lines)
{
    Lines.Clear();
    size_t Start = 0;
    size_t I = 0;
    while (I < Text.size()) {
        const char C = Text[I];
        if (C == '\r' || C == '\n') {
            Lines.Add(Text.substr(Start, I - Start));
            if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n')
                ++I;
            Start = I + 1;
        }
        ++I;
    }
    if (Start < Text.size())
        Lines.Add(Text.substr(Start));
}

TDdeServerConv::TDdeServerConv(QObject* Owner) : QObject(Owner) {}

TDdeServerConv::~TDdeServerConv()
{
    Stop();
}

bool TDdeServerConv::Start(const QString& Name)
{
    Stop();
    // A live server answers; a name left by a program that crashed does not
    // (and listening would take the name from a live one without a word).
    {
        QLocalSocket Probe;
        Probe.connectToServer(Name);
        if (Probe.waitForConnected(500)) {
            Probe.disconnectFromServer();
            return false;
        }
    }
    auto Server = std::make_unique<QLocalServer>();
    Server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!Server->listen(Name)) {
        if (Server->serverError() != QAbstractSocket::AddressInUseError)
            return false;
        QLocalServer::removeServer(Name);
        if (!Server->listen(Name))
            return false;
    }
    connect(Server.get(), &QLocalServer::newConnection, this, &TDdeServerConv::Accept);
    FServer = std::move(Server);
    return true;
}

void TDdeServerConv::Stop()
{
    if (FServer) {
        FServer->close();
        FServer.reset();
    }
}

bool TDdeServerConv::Active() const
{
    return FServer && FServer->isListening();
}

QString TDdeServerConv::ServerName() const
{
    return FServer ? FServer->serverName() : QString();
}

void TDdeServerConv::Accept()
{
    while (QLocalSocket* Socket = FServer ? FServer->nextPendingConnection() : nullptr) {
        // The socket is the server's child until we take it.
        Socket->setParent(this);
        connect(Socket, &QLocalSocket::readyRead, this, [Socket] {
            QByteArray Buffer = Socket->property(BufferProperty).toByteArray();
            const QByteArray More = Socket->readAll();
            if (Socket->property(OverflowProperty).toBool())
                return;
            if (Buffer.size() + More.size() > MaxExecuteBytes) {
                Socket->setProperty(OverflowProperty, true);
                Socket->setProperty(BufferProperty, QByteArray());
                Socket->abort();
                return;
            }
            Socket->setProperty(BufferProperty, Buffer + More);
        });
        connect(Socket, &QLocalSocket::disconnected, this, [this, Socket] { Finish(Socket); });
        if (Socket->state() != QLocalSocket::ConnectedState)
            Finish(Socket);
    }
}

void TDdeServerConv::Finish(QLocalSocket* Socket)
{
    if (Socket->property("TavroDdeDone").toBool())
        return;
    Socket->setProperty("TavroDdeDone", true);
    QByteArray Buffer = Socket->property(BufferProperty).toByteArray();
    const bool Overflow = Socket->property(OverflowProperty).toBool();
    if (!Overflow)
        Buffer += Socket->readAll();
    Socket->deleteLater();
    if (Overflow || Buffer.isEmpty() || Buffer.size() > MaxExecuteBytes || !OnExecuteMacro)
        return;
    TStringList Lines;
    SplitExecuteLines(Buffer.toStdString(), Lines);
    OnExecuteMacro(this, Lines);
}

bool DdeClientExecute(const QString& Name, const std::string& Text, int TimeoutMs)
{
    QLocalSocket Socket;
    Socket.connectToServer(Name);
    if (!Socket.waitForConnected(TimeoutMs))
        return false;
    const QByteArray Bytes = QByteArray::fromStdString(Text);
    if (Socket.write(Bytes) != Bytes.size())
        return false;
    while (Socket.bytesToWrite() > 0)
        if (!Socket.waitForBytesWritten(TimeoutMs))
            return false;
    Socket.disconnectFromServer();
    if (Socket.state() != QLocalSocket::UnconnectedState)
        Socket.waitForDisconnected(TimeoutMs);
    return true;
}
