// The application object: runs the main dialog modally; the program ends when it closes.
#pragma once

#include <string>

class CManagerApp {
public:
    // Constructs the main dialog, runs it and returns false, ending the application.
    bool InitInstance();

    // --log FILE: the traffic transcript to start with the window; empty for none.
    std::string m_strLogFile;
};

extern CManagerApp theApp;
