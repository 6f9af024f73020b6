#include "app/Application.h"

int main()
{
    Application* app = new Application("Dravik Lite");
    app->RunLoop();
    delete app;
    return 0;
}
