// Tavro: the program's entry.
#include "platform/qt/application_wex.h"
#include "platform/qt/qt_message_box.h"
#include "shell/tavro_program.h"

#include <QIcon>
#include <QPixmap>

int main(int argc, char** argv)
{
    TApplicationWex App(argc, argv);
    // From the picture: a file name without a suffix would have the icon
    // ask the MIME database what the file is, a cost the start-up does not need.
    App.setWindowIcon(QIcon(QPixmap(":/icons/tavro")));
    LoadQtTranslations();
    const QStringList Args = QCoreApplication::arguments().mid(1);
    if (HandOverToRunningInstance(Args))
        return 0;
    InstallQtMessageBox();
    if (!StartUnits())
        return 1;
    const int Result = RunMainBlock(Args);
    if (Result == RefusedStartExitCode)
        return Result;
    FinishUnits();
    return Result;
}
