#include "shell/http_get.h"

#include "foundation/user_error.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <memory>

std::string HttpGet(const std::string& Url, int32_t TimeoutMs, int64_t MaxBytes)
{
    QNetworkAccessManager Manager;
    QNetworkRequest Request(QUrl(QString::fromStdString(Url)));
    Request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    std::unique_ptr<QNetworkReply> Reply(Manager.get(Request));

    QByteArray Body;
    bool TimedOut = false;
    bool TooLarge = false;
    QEventLoop Loop;
    QTimer Timer;
    Timer.setSingleShot(true);
    QObject::connect(&Timer, &QTimer::timeout, &Loop, [&] {
        TimedOut = true;
        Reply->abort();
    });
    const auto Take = [&] {
        const QByteArray More = Reply->readAll();
        if (Body.size() + More.size() > MaxBytes) {
            TooLarge = true;
            Reply->abort();
            return;
        }
        Body += More;
    };
    QObject::connect(Reply.get(), &QNetworkReply::metaDataChanged, &Loop, [&] {
        const QVariant Length = Reply->header(QNetworkRequest::ContentLengthHeader);
        if (Length.isValid() && Length.toLongLong() > MaxBytes) {
            TooLarge = true;
            Reply->abort();
        }
    });
    QObject::connect(Reply.get(), &QNetworkReply::readyRead, &Loop, [&] {
        if (!TooLarge && !TimedOut)
            Take();
    });
    QObject::connect(Reply.get(), &QNetworkReply::finished, &Loop, &QEventLoop::quit);
    if (!Reply->isFinished()) {
        Timer.start(TimeoutMs);
        Loop.exec();
    }
    if (TooLarge)
        throw EUserError(Url + " のデータが大きすぎます。");
    if (TimedOut)
        throw EUserError(Url + " の取得が時間切れになりました。");
    if (Reply->error() != QNetworkReply::NoError)
        throw EUserError(Url + " を取得できません: " + Reply->errorString().toStdString());
    Take();
    if (TooLarge)
        throw EUserError(Url + " のデータが大きすぎます。");
    return Body.toStdString();
}
