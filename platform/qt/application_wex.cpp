#include "platform/qt/application_wex.h"

#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"

#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>
#include <memory>

const char* const SUnexpectedError = "予期しないエラーが発生しました。";

TApplicationWex::TApplicationWex(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplicationWex::notify(QObject* Receiver, QEvent* Event)
{
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        ShowEventException(std::current_exception());
        return false;
    }
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
        try {
            std::rethrow_exception(Error);
        } catch (const Exception& E) {
            ErrorMessageBox(E.Message());
        } catch (...) {
            ErrorMessageBox(SUnexpectedError);
        }
    } catch (...) {
        // The box itself failed (out of memory, most likely): the terminal
        // is the last place left to say so.
        std::fputs(SUnexpectedError, stderr);
        std::fputs("\n", stderr);
    }
}
