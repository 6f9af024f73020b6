#include "app/Application.h"
#include "serial/SerialReader.h"

#include <csignal>
#include <thread>

int main()
{
    // Status lines to a console that has gone (a closed pipe) go nowhere; they must not end the
    // program, its recording or the save of its layout.
    std::signal(SIGPIPE, SIG_IGN);

    // The reader thread runs before and during the whole life of the window.
    std::thread reader(SerialThreadMain);

    Application* app = new Application("Dravik Lite");
    app->RunLoop();

    StopSerialThread();
    if (reader.joinable())
        reader.join();

    // The recording is stopped only after the thread that writes its rows has ended.
    delete app;
    return 0;
}
