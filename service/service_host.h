// The service host: what runs when the Service Control Manager starts the
// executable.
#pragma once
#include "util/win.h"

namespace runvo {

// The service main routine handed to the dispatcher.
void WINAPI serviceMain(DWORD argc, LPSTR* argv);

}  // namespace runvo
