#include "platform/qt/dde_server.h"

#include "platform/qt/application_wex.h"

#include <QApplication>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <memory>
#include <unistd.h>

namespace {

// Bytes gathered per connection, kept on the socket itself.
constexpr const char* BufferProperty = "TavroDdeBuffer";
constexpr const char* OverflowProperty = "TavroDdeOverflow";
constexpr const char* DoneProperty = "TavroDdeDone";
constexpr const char* FinishedProperty = "TavroDdeFinished";

// The longest socket path the platform takes, with room to spare.
constexpr qsizetype MaxSocketPath = 100;

} // namespace

QString DdeDisplayKey(const QString& Display)
{
    QString Host, Number = Display;
    const qsizetype Colon = Display.lastIndexOf(QLatin1Char(':'));
    if (Colon >= 0) {
        Host = Display.left(Colon);
        Number = Display.mid(Colon + 1);
        // ":0" and ":0.1" are one X server: one instance serves its screens.
        const qsizetype Dot = Number.indexOf(QLatin1Char('.'));
        if (Dot >= 0)
            Number.truncate(Dot);
        if (Host == QLatin1String("unix"))
            Host.clear();
    }
    QString Key = Host.isEmpty() ? Number : Host + QLatin1Char('_') + Number;
    for (QChar& C : Key)
        if (!(C.isLetterOrNumber() && C.unicode() < 128) && C != QLatin1Char('.') && C != QLatin1Char('-'))
            C = QLatin1Char('_');
    return Key;
}

QString DdeServerName(const std::string& Service, const QString& Display)
{
    QString Shown = Display;
    if (Shown.isEmpty())
        Shown = qEnvironmentVariable("DISPLAY");
    if (Shown.isEmpty())
        Shown = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString Name = QString::fromStdString(Service) + QLatin1Char('-') + QString::number(::getuid());
    const QString Key = DdeDisplayKey(Shown);
    if (!Key.isEmpty())
        Name += QLatin1Char('-') + Key;
    // The runtime folder is the user's alone; the shared temporary folder
    // would let anyone hold the name first.
    const QString Runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (Runtime.startsWith(QLatin1Char('/')) && QFileInfo(Runtime).isDir()) {
        const QString Path = Runtime + QLatin1String("/tavro-") + Name;
        if (Path.toLocal8Bit().size() < MaxSocketPath)
            return Path;
    }
    return Name;
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
        connect(Socket, &QLocalSocket::readyRead, this, [this, Socket] { Receive(Socket); });
        connect(Socket, &QLocalSocket::disconnected, this, [this, Socket] { Finish(Socket); });
        if (Socket->state() != QLocalSocket::ConnectedState)
            Finish(Socket);
        else if (Socket->bytesAvailable() > 0)
            Receive(Socket);
    }
}

void TDdeServerConv::Receive(QLocalSocket* Socket)
{
    // One request per connection; whatever follows goes with the socket.
    if (Socket->property(DoneProperty).toBool() || Socket->property(OverflowProperty).toBool())
        return;
    QByteArray Buffer = Socket->property(BufferProperty).toByteArray() + Socket->readAll();
    const qsizetype End = Buffer.indexOf('\0');
    if ((End < 0 ? Buffer.size() : End) > MaxExecuteBytes) {
        Socket->setProperty(OverflowProperty, true);
        Socket->setProperty(BufferProperty, QByteArray());
        Socket->abort();
        Finish(Socket);
        return;
    }
    if (End < 0) {
        Socket->setProperty(BufferProperty, Buffer);
        return;
    }
    Socket->setProperty(DoneProperty, true);
    Socket->setProperty(BufferProperty, QByteArray());
    Buffer.truncate(End);
    if (Buffer.isEmpty() || !OnExecuteMacro) {
        Socket->abort();
        Finish(Socket);
        return;
    }
    // The answer first: the request may open a file and show boxes for a
    // while, and the sender is waiting to know whether to open it itself.
    // A sender that gave up before the answer opens the file on its own,
    // so its request is dropped here.
    const bool Answered = Socket->write(&DdeAck, 1) == 1 && Socket->flush() &&
                          Socket->state() == QLocalSocket::ConnectedState;
    Socket->disconnectFromServer();
    if (!Answered)
        return;
    // Run from the event loop, not inside the socket's own signal: opening
    // the file may spin the loop, and the socket may go meanwhile.
    FPending.push_back(Buffer.toStdString());
    QTimer::singleShot(0, this, [this] { RunPending(); });
}

void TDdeServerConv::Execute(const std::string& Text)
{
    FPending.push_back(Text);
    RunPending();
}

void TDdeServerConv::RunPending()
{
    // A request taken while another runs (its file opening, or its box
    // open) waits for it: run inside that one's loop, it would stack its box
    // on the other's.
    if (FbRunning || FPending.empty())
        return;
    // A request opens or switches documents. Behind a modal window (a
    // dialog showing its value live in the active document's items, a box
    // of the panel) it would take the document and the panel from under
    // it: it waits until the window has closed and its caller has gone on.
    if (QWidget* Modal = QApplication::activeModalWidget()) {
        WaitForModal(Modal);
        return;
    }
    const std::string Text = std::move(FPending.front());
    FPending.pop_front();
    FbRunning = true;
    std::exception_ptr Error;
    try {
        if (OnExecuteMacro)
            OnExecuteMacro(this, Text);
    } catch (...) {
        Error = std::current_exception();
    }
    if (Error)
        ShowEventException(Error);
    FbRunning = false;
    if (!FPending.empty())
        QTimer::singleShot(0, this, [this] { RunPending(); });
}

void TDdeServerConv::WaitForModal(QWidget* Modal)
{
    if (FModal == Modal)
        return;
    if (FModal)
        FModal->removeEventFilter(this);
    disconnect(FModalGone);
    FModal = Modal;
    Modal->installEventFilter(this);
    FModalGone = connect(Modal, &QObject::destroyed, this, [this] { ModalGone(); });
}

void TDdeServerConv::ModalGone()
{
    if (FModal)
        FModal->removeEventFilter(this);
    disconnect(FModalGone);
    FModal = nullptr;
    // Posted from the window's closing, the run comes once the window's own
    // loop has returned (what is posted in one pass of a loop waits for its
    // next), after the caller has taken the window's result (a value
    // committed on OK). A modal window the caller shows next, or one under
    // the closed one, is waited for in turn.
    QTimer::singleShot(0, this, [this] { RunPending(); });
}

bool TDdeServerConv::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FModal && Event->type() == QEvent::Hide)
        ModalGone();
    return QObject::eventFilter(Watched, Event);
}

void TDdeServerConv::Finish(QLocalSocket* Socket)
{
    if (Socket->property(FinishedProperty).toBool())
        return;
    Socket->setProperty(FinishedProperty, true);
    // Bytes still unread: their sender is gone and cannot be answered, so
    // they go with the socket.
    Socket->deleteLater();
}

bool DdeClientExecute(const QString& Name, const std::string& Text, int TimeoutMs)
{
    if (Text.find('\0') != std::string::npos)
        return false;
    const QDeadlineTimer Deadline(TimeoutMs);
    QLocalSocket Socket;
    Socket.connectToServer(Name);
    if (!Socket.waitForConnected(TimeoutMs))
        return false;
    QByteArray Bytes = QByteArray::fromStdString(Text);
    Bytes.append('\0');
    if (Socket.write(Bytes) != Bytes.size())
        return false;
    while (Socket.bytesToWrite() > 0)
        if (!Socket.waitForBytesWritten(int(Deadline.remainingTime())))
            return false;
    while (Socket.bytesAvailable() == 0)
        if (Deadline.hasExpired() || !Socket.waitForReadyRead(int(Deadline.remainingTime())))
            return false;
    char Answer = 0;
    return Socket.getChar(&Answer) && Answer == DdeAck;
}
