#include "app/Application.h"
#include "serial/SerialReader.h"

#include <thread>

int main()
{
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
