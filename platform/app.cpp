#include "platform/app.h"

platform::WindowHandle mainWindow = nullptr;
int32_t appActive = 0;
