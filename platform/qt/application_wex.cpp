#include "platform/qt/application_wex.h"

#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <string>

const char* const SUnexpectedError = "予期しないエラーが発生しました。";

TApplicationWex::TApplicationWex(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplicationWex::notify(QObject* Receiver, QEvent* Event)
{
    std::exception_ptr Error;
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        Error = std::current_exception();
    }
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

void ShowEventException(std::exception_ptr Error) noexcept
{
    try {
        std::string Text = SUnexpectedError;
        try {
            std::rethrow_exception(Error);
        } catch (const Exception& E) {
            Text = E.Message();
        } catch (...) {
        }
        // Outside the handler, for the reason given at notify.
        ErrorMessageBox(Text);
    } catch (...) {
        // The box itself failed (out of memory, most likely): the terminal
        // is the last place left to say so.
        std::fputs(SUnexpectedError, stderr);
        std::fputs("\n", stderr);
    }
}
