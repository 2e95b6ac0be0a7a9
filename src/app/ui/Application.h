#pragma once
// Starts the window program: the application object, the main window, the loop.
int RunApplication(int argc, char** argv);
