// The DDE server stand-in: a local socket server named after a service, the
// user and the display ("TAVRO-1000-0"), placed in the user's runtime folder
// where there is one, that takes execute strings from other processes; and
// the client side that sends one. A client connects and writes the string's
// bytes (UTF-8) ended by a NUL byte; the server answers with one byte,
// DdeAck, when it takes the request, and only then hands the text, byte for
// byte, to OnExecuteMacro. A text longer than MaxExecuteBytes, or one whose
// sender is gone before the answer, is dropped. Requests are carried out one
// at a time in the order taken: what one raises is shown in the error box
// before the next begins, so that the boxes of several come one after another
// and each tells only its own failure. A request opens or switches documents:
// while a modal window runs (a dialog over a value it shows live, a box), it
// waits until that window has closed, so that nothing changes behind it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;
class QWidget;

// One server per user, display and service: Service + "-" + the user's
// numeric id + "-" + the display (Display, else $DISPLAY, else
// $WAYLAND_DISPLAY; its screen number and a "unix" host dropped, other
// characters than letters, digits, "." and "-" made "_"), nothing when
// there is none. Under $XDG_RUNTIME_DIR when that is set, so that no other
// user can take the name.
QString DdeServerName(const std::string& Service, const QString& Display = QString());
// The display part of the name above.
QString DdeDisplayKey(const QString& Display);

// The server's answer that it took a request.
constexpr char DdeAck = '\x06';

class TDdeServerConv : public QObject {
public:
    static constexpr int64_t MaxExecuteBytes = 64 * 1024;

    explicit TDdeServerConv(QObject* Owner = nullptr);
    ~TDdeServerConv() override;

    // Serves Name. False when another process (or object) serves it already;
    // a name left behind by a program that ended without closing is taken
    // over.
    bool Start(const QString& Name);
    void Stop();
    bool Active() const;
    QString ServerName() const;

    std::function<void(TDdeServerConv* Sender, const std::string& Text)> OnExecuteMacro;

    // Carries Text out as a request taken from a client: at once when none
    // is under way and no modal window runs, else after those before it and
    // once the modal window has closed.
    void Execute(const std::string& Text);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Accept();
    void Receive(QLocalSocket* Socket);
    void Finish(QLocalSocket* Socket);
    void RunPending();
    // Runs the pending requests again once Modal has gone and its caller
    // has gone on.
    void WaitForModal(QWidget* Modal);
    void ModalGone();

    std::unique_ptr<QLocalServer> FServer;
    QPointer<QWidget> FModal; // the modal window the requests wait for
    QMetaObject::Connection FModalGone;
    std::deque<std::string> FPending;
    bool FbRunning = false;
};

// Sends Text to the server Name and waits for its answer; true only when
// the server says it took the request. False when no server listens, when
// one listens but does not answer within TimeoutMs (another process holding
// the name, a hung instance), or when Text holds a NUL byte.
bool DdeClientExecute(const QString& Name, const std::string& Text, int TimeoutMs = 3000);
