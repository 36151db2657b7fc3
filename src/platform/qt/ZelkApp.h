// The application: the command line of the process, the window or the headless mode,
// the start-up, the message loop and the exit status.
#pragma once

namespace zelk {

// Runs ZELK and returns the process exit status: 0 when the load or the batch run
// succeeded, 1 after an error or a refusal, 2 for a usage error or a missing display.
int RunZelkApp(int& argc, char** argv);

}  // namespace zelk
