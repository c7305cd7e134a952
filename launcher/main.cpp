#include "launcher/command_tail.h"
#include "launcher/dispatch.h"
#include "util/win.h"

int main() { return runvo::runvoMain(runvo::commandTail(GetCommandLineA())); }
