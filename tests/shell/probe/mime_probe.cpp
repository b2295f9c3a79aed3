// Prints the MIME type name the desktop's database gives each file named on
// the command line, one a line. A process of its own reads the database
// afresh, whatever another process cached.
#include <QCoreApplication>
#include <QMimeDatabase>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication App(argc, argv);
    QTextStream Out(stdout);
    const QMimeDatabase Db;
    for (const QString& File : App.arguments().mid(1))
        Out << Db.mimeTypeForFile(File).name() << "\n";
    return 0;
}
