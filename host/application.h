#pragma once

// The GUI application's terminate request: the message loop ends, and a loop not yet running
// does not start.
class TApplication final
{
public:
    static void Terminate();
    static bool Terminated();
};
