// The first step of every mode: load the configuration, set how messages are
// shown and move to the configured working directory.
#pragma once
#include "payload/config_table.h"
#include "util/outcome.h"

namespace runvo {

// Fails when the payload cannot be read.
Status runStartup();

// The settings part of the start-up, from a table already loaded: the
// message display and the working directory.
void applyStartupSettings(const ConfigTable& table);

}  // namespace runvo
