#include "app/Application.h"
#include "serial/ChannelData.h"
#include "serial/SerialPort.h"
#include "serial/SerialReader.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <thread>

// A launcher may start us with standard input, output or error closed; the
// next file opened (the X connection) would then take that number and every
// status line would be written into it. Open /dev/null in each gap, lowest first.
static void FillClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; fd++)
        if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
            open("/dev/null", O_RDWR);
}

int main()
{
    FillClosedStandardDescriptors();

    // Status lines to a console that has gone (a closed pipe) go nowhere; they must not end the
    // program, its recording or the save of its layout.
    std::signal(SIGPIPE, SIG_IGN);
    InstallCloseSignalHandlers();
    WarnIfWorkingFolderCannotBeWritten();

    // The reader thread runs before and during the whole life of the window.
    std::thread reader(SerialThreadMain);

    Application* app = new Application("Dravik Lite");
    // No window (no display, no OpenGL 4.1): the start failed, and whoever started us must know.
    const int exit_code = app->window ? 0 : 1;
    app->RunLoop();

    StopSerialThread();
    if (reader.joinable())
        reader.join();
    // As "Close COM Port" does: the device is left free for the next opener.
    SetSerialPortOpen(false);
    CloseSerialPort();

    // The recording is stopped only after the thread that writes its rows has ended.
    delete app;
    return exit_code;
}
