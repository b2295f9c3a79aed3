#include "platform/qt/application_wex.h"

#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "platform/message_box.h"

#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

const char* const SUnexpectedError = "予期しないエラーが発生しました。";

TApplicationWex::TApplicationWex(int& Argc, char** Argv) : QApplication(Argc, Argv)
{
    // Boxes held during a paint come once the event loop is back.
    SetMessageBoxPoster([](std::function<void()> Show) {
        QMetaObject::invokeMethod(qApp, std::move(Show), Qt::QueuedConnection);
    });
}

TApplicationWex::~TApplicationWex()
{
    SetMessageBoxPoster(nullptr);
}

namespace {

// The paint failures told, by the widget that failed: a paint that fails
// fails again at every repaint, and is told once while it lasts.
struct TPaintFailure {
    QPointer<QObject> Receiver;
    std::string Text;
};
std::vector<TPaintFailure> PaintFailures;

void ForgetPaintFailure(QObject* Receiver)
{
    if (PaintFailures.empty())
        return;
    std::erase_if(PaintFailures, [Receiver](const TPaintFailure& F) { return !F.Receiver || F.Receiver == Receiver; });
}

// True when Receiver's paint fails with Text for the first time in a row.
bool NewPaintFailure(QObject* Receiver, const std::string& Text)
{
    std::erase_if(PaintFailures, [](const TPaintFailure& F) { return !F.Receiver; });
    for (TPaintFailure& F : PaintFailures)
        if (F.Receiver == Receiver)
            return std::exchange(F.Text, Text) != Text;
    PaintFailures.push_back(TPaintFailure{Receiver, Text});
    return true;
}

} // namespace

bool TApplicationWex::notify(QObject* Receiver, QEvent* Event)
{
    // No modal box opens inside a paint, whatever the paint calls and
    // whatever it raises: the box would run an event loop that paints the
    // same widget again from within its paint (Qt breaks on it). The box
    // comes once the paint is over.
    // (A top-level widget paints itself and its children on an update
    // request, each paint an event of its own.)
    const bool Paint = Event->type() == QEvent::Paint;
    std::optional<TMessageBoxHold> Hold;
    if (Paint || Event->type() == QEvent::UpdateRequest)
        Hold.emplace();
    std::exception_ptr Error;
    try {
        const bool Done = QApplication::notify(Receiver, Event);
        if (Paint)
            ForgetPaintFailure(Receiver);
        return Done;
    } catch (...) {
        Error = std::current_exception();
    }
    if (Paint && !NewPaintFailure(Receiver, EventExceptionText(Error)))
        return false;
    // Shown once the handler is left: the box runs an event loop, and a
    // failure of another event meanwhile must not read as following from
    // this one (an EUserError made inside a handler is chained to it).
    ShowEventException(Error);
    return false;
}

bool LoadQtTranslations()
{
    static std::unique_ptr<QTranslator> Translator;
    if (Translator)
        return true;
    auto Loaded = std::make_unique<QTranslator>();
    if (!Loaded->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    if (!QCoreApplication::installTranslator(Loaded.get()))
        return false;
    Translator = std::move(Loaded);
    return true;
}

std::string EventExceptionText(std::exception_ptr Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const Exception& E) {
        return E.Message();
    } catch (...) {
    }
    return SUnexpectedError;
}

void ShowEventException(std::exception_ptr Error) noexcept
{
    try {
        // Outside the handler, for the reason given at notify.
        ErrorMessageBox(EventExceptionText(Error));
    } catch (...) {
        // The box itself failed (out of memory, most likely): the terminal
        // is the last place left to say so.
        std::fputs(SUnexpectedError, stderr);
        std::fputs("\n", stderr);
    }
}
