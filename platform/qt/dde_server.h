// The DDE server stand-in: a local socket server named after a service and
// the user ("TAVRO-1000") that takes execute strings from other processes,
// and the client side that sends one. A client connects, writes the
// string's bytes (UTF-8) and closes the connection; the server then hands
// the text, split into lines, to OnExecuteMacro. A text longer than
// MaxExecuteBytes is dropped unread.
#pragma once

#include "foundation/string_list.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;

// Service + "-" + the user's numeric id: one server per user and service.
QString DdeServerName(const std::string& Service);

// Lines of Text as the platform splits an execute string: at CR LF, LF or
// CR; a final line break adds no empty line.
void SplitExecuteLines(const std::string& Text, TStringList& Lines);

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

    std::function<void(TDdeServerConv* Sender, const TStringList& Lines)> OnExecuteMacro;

private:
    void Accept();
    void Finish(QLocalSocket* Socket);

    std::unique_ptr<QLocalServer> FServer;
};

// Sends Text to the server Name and waits until it has taken the bytes;
// false when no server answers within TimeoutMs.
bool DdeClientExecute(const QString& Name, const std::string& Text, int TimeoutMs = 3000);
