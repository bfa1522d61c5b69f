#pragma once

// Connects to VirtualBox, prints its diagnostics and runs the bridged-interface
// correction with a session. Whatever fails, the program goes on to exit 0.
void VirtualBoxSession();
