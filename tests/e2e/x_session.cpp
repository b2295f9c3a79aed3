#include "e2e/x_session.h"

#include <QCursor>

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QFile>
#include <QTest>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace e2e {

QString Run(const QString& Program, const QStringList& Args, int TimeoutMs)
{
    QProcess P;
    P.start(Program, Args);
    if (!P.waitForFinished(Deadline(TimeoutMs))) {
        P.kill();
        P.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(P.readAllStandardOutput()).trimmed();
}

bool WaitFor(const std::function<bool()>& Check, int TimeoutMs)
{
    QElapsedTimer T;
    T.start();
    for (;;) {
        if (Check())
            return true;
        if (T.elapsed() > Deadline(TimeoutMs))
            return false;
        QTest::qWait(25);
    }
}

bool WaitEnded(QProcess& Process, int TimeoutMs)
{
    return Process.state() == QProcess::NotRunning || Process.waitForFinished(Deadline(TimeoutMs));
}

unsigned long FindWindow(const QString& Name)
{
    const QString Out = Run("xdotool", {"search", "--onlyvisible", "--name", Name});
    const QStringList Ids = Out.split('\n', Qt::SkipEmptyParts);
    return Ids.isEmpty() ? 0 : Ids.last().toULong();
}

unsigned long WaitWindow(const QString& Name, int TimeoutMs)
{
    unsigned long Id = 0;
    WaitFor([&] { return (Id = FindWindow(Name)) != 0; }, TimeoutMs);
    return Id;
}

bool WaitWindowGone(const QString& Name, int TimeoutMs)
{
    return WaitFor([&] { return FindWindow(Name) == 0; }, TimeoutMs);
}

QList<unsigned long> VisibleWindows()
{
    QList<unsigned long> Ids;
    for (const QString& Id : Run("xdotool", {"search", "--onlyvisible", "--name", "."}).split('\n', Qt::SkipEmptyParts))
        Ids.push_back(Id.toULong());
    return Ids;
}

unsigned long WaitNewWindow(const QList<unsigned long>& Known, int TimeoutMs)
{
    unsigned long New = 0;
    WaitFor([&] {
        for (unsigned long Id : VisibleWindows())
            if (!Known.contains(Id) && Geometry(Id).width() > 50)
                return (New = Id) != 0;
        return false;
    }, TimeoutMs);
    return New;
}

QString WindowName(unsigned long Id)
{
    return Run("xdotool", {"getwindowname", QString::number(Id)});
}

QString ActiveWindowName()
{
    return Run("xdotool", {"getactivewindow", "getwindowname"});
}

QRect Geometry(unsigned long Id)
{
    // xwininfo's absolute corner: xdotool's counts the window manager's
    // frame twice.
    const QString Out = Run("xwininfo", {"-id", QString::number(Id)});
    int X = 0, Y = 0, W = 0, H = 0;
    for (QString Line : Out.split('\n')) {
        Line = Line.trimmed();
        const int V = Line.section(':', 1).trimmed().toInt();
        if (Line.startsWith("Absolute upper-left X:"))
            X = V;
        else if (Line.startsWith("Absolute upper-left Y:"))
            Y = V;
        else if (Line.startsWith("Width:"))
            W = V;
        else if (Line.startsWith("Height:"))
            H = V;
    }
    return {X, Y, W, H};
}

QRect FrameGeometry(unsigned long Id)
{
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QString Out = Run("xprop", {"-id", QString::number(Id), "_NET_FRAME_EXTENTS"});
    const QStringList F = Out.section('=', 1).split(',', Qt::SkipEmptyParts);
    const QRect G = Geometry(Id);
    if (!Out.contains('=') || F.size() != 4)
        return G;
    return G.adjusted(-F[0].trimmed().toInt(), -F[2].trimmed().toInt(), F[1].trimmed().toInt(),
                      F[3].trimmed().toInt());
}

namespace {

// The GUI thread of process Pid: whether it sleeps, and the nanoseconds it
// has run so far; nullopt once the process has gone.
std::optional<std::pair<bool, qint64>> ThreadState(qint64 Pid)
{
    const QString Task = QString("/proc/%1/task/%1/").arg(Pid);
    QFile Stat(Task + "stat"), Sched(Task + "schedstat");
    if (!Stat.open(QIODevice::ReadOnly) || !Sched.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (name) S ...": the state follows the name's closing parenthesis.
    const QByteArray S = Stat.readAll();
    const qsizetype Close = S.lastIndexOf(')');
    const bool Sleeping = Close >= 0 && S.mid(Close + 2, 1) == "S";
    return std::pair{Sleeping, Sched.readAll().split(' ').value(0).toLongLong()};
}

// Waits until process Pid has handled what came to it: its GUI thread
// sleeps and has done next to nothing (a hover timer's tick) for longer
// than Qt keeps a focus change pending (400 ms), so that no reaction to
// what came is still due. A thread that waits for the processor under load
// does not sleep, and the time it runs does not grow by waiting.
bool ProcessAtRest(qint64 Pid, int TimeoutMs)
{
    if (Pid <= 0)
        return false;
    constexpr int QuietMs = 500;
    constexpr qint64 IdleRunNs = 2000000;
    QElapsedTimer Quiet;
    qint64 Since = -1;
    return WaitFor([&] {
        const auto Now = ThreadState(Pid);
        if (!Now || !Now->first || Since < 0 || Now->second - Since > IdleRunNs) {
            Quiet.start();
            Since = Now ? Now->second : -1;
            return false;
        }
        return Quiet.elapsed() >= QuietMs;
    }, TimeoutMs);
}

} // namespace

bool Settled(unsigned long Id, int TimeoutMs)
{
    for (QWindow* W : QGuiApplication::allWindows())
        if (W->handle() && W->winId() == Id) {
            // One of this process's own: its events are this event loop's.
            for (int Round = 0; Round < 2; ++Round) {
                QGuiApplication::sync();
                QCoreApplication::processEvents();
            }
            return true;
        }
    // Another program: it has handled what came to it once it is at rest.
    return ProcessAtRest(Run("xdotool", {"getwindowpid", QString::number(Id)}).toLongLong(), TimeoutMs);
}

bool WaitActiveAndSettled(unsigned long Id, int TimeoutMs)
{
    const auto Active = [Id] { return Run("xdotool", {"getactivewindow"}).toULong() == Id; };
    return WaitFor([&] { return Active() && Settled(Id, TimeoutMs) && Active(); }, TimeoutMs);
}

bool ActivateAndSettle(unsigned long Id, int TimeoutMs)
{
    Activate(Id);
    return WaitActiveAndSettled(Id, TimeoutMs);
}

std::string DescribeDisplay()
{
    std::string Text = "active: \"" + ActiveWindowName().toStdString() + "\"; shown:";
    for (unsigned long Id : VisibleWindows())
        Text += " \"" + WindowName(Id).toStdString() + "\"";
    return Text;
}

void Key(const QString& Keys)
{
    Run("xdotool", QStringList{"key", "--clearmodifiers"} + Keys.split(' '));
}

void Type(const QString& Text)
{
    Run("xdotool", {"type", "--delay", "30", Text});
}

void Click(QPoint At, int Button)
{
    // xdotool's waiting move waits for a motion, which never comes when the
    // pointer is there already: it goes a pixel aside first then.
    if (QCursor::pos() == At)
        Run("xdotool", {"mousemove", "--sync", QString::number(At.x() + 1), QString::number(At.y())});
    Run("xdotool", {"mousemove", "--sync", QString::number(At.x()), QString::number(At.y())});
    Run("xdotool", {"click", QString::number(Button)});
}

void DragHold(QPoint From, QPoint To)
{
    Run("xdotool", {"mousemove", "--sync", QString::number(From.x()), QString::number(From.y())});
    Run("xdotool", {"mousedown", "1"});
    // A person's drag passes through the points between.
    for (int I = 1; I <= 8; ++I) {
        const QPoint P = From + (To - From) * I / 8;
        Run("xdotool", {"mousemove", "--sync", QString::number(P.x()), QString::number(P.y())});
        QTest::qWait(15);
    }
}

void MouseUp()
{
    Run("xdotool", {"mouseup", "1"});
}

void Drag(QPoint From, QPoint To)
{
    DragHold(From, To);
    MouseUp();
}

void Activate(unsigned long Id)
{
    Run("xdotool", {"windowactivate", "--sync", QString::number(Id)});
}

QImage Screen()
{
    // Read from the X server by another client (ImageMagick's import), as a
    // person's screenshot tool would. (xwd leaves windows of 32-bit visuals
    // black.)
    QProcess P;
    P.start("import", {"-window", "root", "-depth", "8", "ppm:-"});
    if (!P.waitForFinished(10000))
        return {};
    QImage Img;
    Img.loadFromData(P.readAllStandardOutput(), "PPM");
    return Img.convertToFormat(QImage::Format_RGB32);
}

namespace {

std::optional<QPoint> FindIconImage(const QImage& Screen, const QImage& Icon, QRect Area)
{
    if (Icon.isNull())
        return std::nullopt;
    // The icon's opaque pixels must be there, and its clear ones must show
    // one button face (whatever colour hovering or checking gave it): a
    // glyph inside another one's filled shape is not taken for it.
    // Only the clear pixels within two pixels of the glyph count: the
    // picture's outer margin may lie on the button's edge or on the frame
    // of a pressed button next to it.
    std::vector<QPoint> Opaque, Clear;
    QRect Bounds;
    for (int Y = 0; Y < Icon.height(); ++Y)
        for (int X = 0; X < Icon.width(); ++X)
            if (qAlpha(Icon.pixel(X, Y)) == 255) {
                Opaque.push_back({X, Y});
                Bounds |= QRect(X, Y, 1, 1);
            }
    Bounds = Bounds.adjusted(-2, -2, 2, 2).intersected(Icon.rect());
    for (int Y = Bounds.top(); Y <= Bounds.bottom(); ++Y)
        for (int X = Bounds.left(); X <= Bounds.right(); ++X)
            if (qAlpha(Icon.pixel(X, Y)) == 0)
                Clear.push_back({X, Y});
    if (Opaque.empty() || Clear.empty())
        return std::nullopt;
    const auto Near = [](QRgb A, QRgb B) {
        return std::abs(qRed(A) - qRed(B)) <= 24 && std::abs(qGreen(A) - qGreen(B)) <= 24 &&
               std::abs(qBlue(A) - qBlue(B)) <= 24;
    };
    Area = Area.intersected(Screen.rect().adjusted(0, 0, -Icon.width(), -Icon.height()));
    for (int Y = Area.top(); Y <= Area.bottom(); ++Y)
        for (int X = Area.left(); X <= Area.right(); ++X) {
            const QPoint At(X, Y);
            const auto Same = [&](const QPoint& O) { return Near(Screen.pixel(At + O), Icon.pixel(O)); };
            if (!std::all_of(Opaque.begin(), Opaque.end(), Same))
                continue;
            const QRgb Face = Screen.pixel(At + Clear.front());
            if (!std::all_of(Clear.begin(), Clear.end(), [&](const QPoint& O) { return Near(Screen.pixel(At + O), Face); }))
                continue;
            // The glyph must stand out from that face: a plain area of the
            // glyph's own colour (a blue title bar for a blue glyph) matches
            // both tests above without showing any glyph at all.
            const auto Stands = std::count_if(Opaque.begin(), Opaque.end(),
                                              [&](const QPoint& O) { return !Near(Screen.pixel(At + O), Face); });
            if (Stands >= std::max<std::ptrdiff_t>(8, std::ptrdiff_t(Opaque.size()) / 10))
                return QPoint(X + Icon.width() / 2, Y + Icon.height() / 2);
        }
    return std::nullopt;
}

} // namespace

std::optional<QPoint> FindIcon(const QImage& Screen, const QString& Resource, QRect Area)
{
    // A button shows its glyph at the picture's own size, or as a 16-pixel
    // icon: either is looked for.
    const QImage Own = QImage(Resource).convertToFormat(QImage::Format_ARGB32);
    if (auto At = FindIconImage(Screen, Own, Area))
        return At;
    return FindIconImage(Screen, QIcon(Resource).pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32), Area);
}

QRect WhiteBox(const QImage& Screen, QRect Area)
{
    Area = Area.intersected(Screen.rect());
    // Rows whose longest white run has the same ends, one after another,
    // make a box; the largest box wins.
    QRect Best, Current;
    for (int Y = Area.top(); Y <= Area.bottom() + 1; ++Y) {
        int Long = 0, LongX = 0;
        if (Y <= Area.bottom()) {
            const auto* Row = reinterpret_cast<const QRgb*>(Screen.constScanLine(Y));
            int Run = 0;
            for (int X = Area.left(); X <= Area.right(); ++X) {
                Run = (Row[X] & 0xFFFFFF) == 0xFFFFFF ? Run + 1 : 0;
                if (Run > Long) {
                    Long = Run;
                    LongX = X - Run + 1;
                }
            }
        }
        const QRect Line(LongX, Y, Long, 1);
        if (Long >= 100 && !Current.isNull() && std::abs(Line.left() - Current.left()) <= 2 &&
            std::abs(Line.right() - Current.right()) <= 2) {
            Current.setBottom(Y);
            continue;
        }
        if (Current.width() * Current.height() > Best.width() * Best.height())
            Best = Current;
        Current = Long >= 100 ? Line : QRect();
    }
    return Best;
}

int DifferentPixels(const QImage& A, const QImage& B, int Tolerance)
{
    if (A.size() != B.size())
        return std::max(A.width() * A.height(), B.width() * B.height());
    const QImage X = A.convertToFormat(QImage::Format_RGB32);
    const QImage Y = B.convertToFormat(QImage::Format_RGB32);
    int N = 0;
    for (int R = 0; R < X.height(); ++R) {
        const auto* P = reinterpret_cast<const QRgb*>(X.constScanLine(R));
        const auto* Q = reinterpret_cast<const QRgb*>(Y.constScanLine(R));
        for (int C = 0; C < X.width(); ++C)
            N += std::abs(qRed(P[C]) - qRed(Q[C])) > Tolerance || std::abs(qGreen(P[C]) - qGreen(Q[C])) > Tolerance ||
                 std::abs(qBlue(P[C]) - qBlue(Q[C])) > Tolerance;
    }
    return N;
}

void TOwnedProcess::Stop()
{
    if (P.state() == QProcess::NotRunning)
        return;
    P.terminate();
    if (!P.waitForFinished(Deadline(5000))) {
        P.kill();
        P.waitForFinished(Deadline(2000));
    }
}

QList<unsigned long> RootWindowList(const char* Property)
{
    const QString Out = Run("xprop", {"-root", Property});
    QList<unsigned long> Ids;
    const qsizetype Hash = Out.indexOf('#');
    if (Hash < 0)
        return Ids;
    for (const QString& Id : Out.mid(Hash + 1).split(',', Qt::SkipEmptyParts))
        Ids.push_back(Id.trimmed().toULong(nullptr, 16));
    return Ids;
}

namespace {

// The windows the window manager manages.
QList<unsigned long> ManagedWindows() { return RootWindowList("_NET_CLIENT_LIST"); }

} // namespace

bool StartWindowManager(TOwnedProcess& WM)
{
    for (int Start = 0; Start < 3; ++Start) {
        WM.Stop();
        WM.P.start("openbox", {});
        if (!WM.P.waitForStarted(Deadline(5000)))
            continue;
        // Openbox names its desktops before it grabs its keys and begins to
        // manage windows: only a window it has taken in shows it at work. A
        // small window of this process is shown, awaited in its list, and
        // taken away again before the test shows anything.
        QWindow Probe;
        Probe.setTitle("e2e-window-manager-probe");
        Probe.setGeometry(0, 0, 20, 20);
        Probe.show();
        const unsigned long Id = Probe.winId();
        const bool Managed = WaitFor([&] {
            return WM.P.state() == QProcess::Running && ManagedWindows().contains(Id);
        }, 5000);
        Probe.destroy();
        if (!Managed || !WaitFor([&] { return !ManagedWindows().contains(Id); }, 5000))
            continue;
        // The first key xdotool sends switches the X server's keyboard to
        // its test device; openbox, told that the keyboard map changed,
        // lets go of its key bindings and takes them again. A combination
        // of its own (Alt+F4) sent meanwhile would reach the window with
        // the keys instead, and on a loaded machine the meanwhile is long.
        // So a lone Shift, which nobody acts on, goes first, and openbox
        // comes to rest before the test sends anything.
        Run("xdotool", {"key", "shift"});
        if (ProcessAtRest(WM.P.processId(), 5000))
            return true;
    }
    return false;
}

void MakeSandbox(const std::filesystem::path& Sandbox)
{
    for (const char* Name : {"config", "data", "cache", "tmp", "run"})
        std::filesystem::create_directories(Sandbox / Name);
    std::filesystem::permissions(Sandbox / "run", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
}

QProcessEnvironment SandboxEnvironment(const std::filesystem::path& Sandbox)
{
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    for (const auto& [Key, Name] : {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
                                    {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "run"}, {"TMPDIR", "tmp"}})
        Env.insert(Key, QString::fromStdString((Sandbox / Name).string()));
    Env.insert("QT_QPA_PLATFORM", "xcb");
    return Env;
}

void StartProgram(TOwnedProcess& Program, const std::filesystem::path& Sandbox, const QStringList& Args,
                  const std::filesystem::path& WorkDir)
{
    MakeSandbox(Sandbox);
    Program.P.setProcessEnvironment(SandboxEnvironment(Sandbox));
    if (!WorkDir.empty()) {
        std::filesystem::create_directories(WorkDir);
        Program.P.setWorkingDirectory(QString::fromStdString(WorkDir.string()));
    }
    Program.P.setProcessChannelMode(QProcess::ForwardedChannels);
    Program.P.start(std::getenv("TAVRO_PROGRAM"), Args);
}

} // namespace e2e
