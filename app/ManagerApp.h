// The application object: runs the main dialog modally; the program ends when it closes.
#pragma once

class CManagerApp {
public:
    // Constructs the main dialog, runs it and returns false, ending the application.
    bool InitInstance();
};

extern CManagerApp theApp;
