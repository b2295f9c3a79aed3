// A named pipe that nobody writes to, watched: when something blocks opening
// it for reading, the watch opens it for writing (so that the reader gets
// end-of-file instead of hanging the test) and remembers it did.
#pragma once

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TFifoWatch {
public:
    explicit TFifoWatch(std::string Path) : FPath(std::move(Path))
    {
        if (::mkfifo(FPath.c_str(), 0600) != 0)
            throw std::runtime_error("cannot make " + FPath);
        FThread = std::thread([this] {
            while (!FStop) {
                // Succeeds only while a reader waits in open().
                const int Fd = ::open(FPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (Fd >= 0) {
                    FReaderBlocked = true;
                    ::close(Fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    }
    ~TFifoWatch()
    {
        FStop = true;
        FThread.join();
    }
    TFifoWatch(const TFifoWatch&) = delete;
    TFifoWatch& operator=(const TFifoWatch&) = delete;

    const std::string& Path() const { return FPath; }
    // True once anything sat in open() on the pipe.
    bool ReaderBlocked() const { return FReaderBlocked; }

private:
    std::string FPath;
    std::atomic<bool> FStop{false};
    std::atomic<bool> FReaderBlocked{false};
    std::thread FThread;
};

// A named pipe that nobody reads but the watch: it holds the reading end
// open (so that a writer's open never waits) and keeps what comes, so that
// a test can tell that something wrote to the pipe instead of leaving it.
class TFifoWriteWatch {
public:
    explicit TFifoWriteWatch(std::string Path) : FPath(std::move(Path))
    {
        if (::mkfifo(FPath.c_str(), 0600) != 0)
            throw std::runtime_error("cannot make " + FPath);
        FFd = ::open(FPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (FFd < 0)
            throw std::runtime_error("cannot open " + FPath);
        FThread = std::thread([this] {
            while (!FStop) {
                char Buf[4096];
                const ssize_t N = ::read(FFd, Buf, sizeof Buf);
                if (N > 0)
                    FBytes += size_t(N);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    ~TFifoWriteWatch()
    {
        FStop = true;
        FThread.join();
        ::close(FFd);
    }
    TFifoWriteWatch(const TFifoWriteWatch&) = delete;
    TFifoWriteWatch& operator=(const TFifoWriteWatch&) = delete;

    const std::string& Path() const { return FPath; }
    // How many bytes were written to the pipe so far.
    size_t Written() const { return FBytes; }

private:
    std::string FPath;
    int FFd = -1;
    std::atomic<bool> FStop{false};
    std::atomic<size_t> FBytes{0};
    std::thread FThread;
};
