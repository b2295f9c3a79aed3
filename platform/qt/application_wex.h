// The program's QApplication: the one place where exceptions end. An
// exception leaving an event handler is shown in the error box (an
// Exception's own message, a general one for anything else) and the event
// loop goes on. No box opens inside a paint: boxes asked for while a widget
// paints come after it, and a widget whose paint fails with the same text
// again and again has it told once, until it paints again.
#pragma once

#include <QApplication>

#include <exception>
#include <string>

// The general message for a failure that is not one of the program's own.
extern const char* const SUnexpectedError;

class TApplicationWex : public QApplication {
    Q_OBJECT
public:
    // Installs the message-box hub's poster: boxes held while a paint is
    // under way (every paint event is dispatched under a hold) are shown
    // from the event loop once it is over.
    TApplicationWex(int& Argc, char** Argv);
    ~TApplicationWex() override;
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// Loads Qt's own Japanese texts (qtbase_ja from Qt's translations folder)
// into the application, so that the standard dialogs and buttons speak the
// program's language. Once per run; false when the translation is not
// installed (the dialogs then stay in English).
bool LoadQtTranslations();

// The text the error box shows for Error: an Exception's own message, the
// general one for anything else.
std::string EventExceptionText(std::exception_ptr Error);

// Shows the error box for Error; never raises. Best called outside any
// handler: the box runs an event loop, and an EUserError raised by another
// event meanwhile would be chained to the exception being handled.
void ShowEventException(std::exception_ptr Error) noexcept;

// Runs a command's handler from a Qt signal (a menu item, a button): what it
// raises is shown here, as the event boundary shows it, for an exception
// must not unwind Qt's own frames (a QAction's activation keeps a guard on
// the stack that would never be freed).
template <class F>
void RunReporting(F&& Body) noexcept
{
    std::exception_ptr Error;
    try {
        Body();
    } catch (...) {
        Error = std::current_exception();
    }
    if (Error)
        ShowEventException(Error);
}
