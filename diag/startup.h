// The first step of every mode: load the configuration, note the launcher
// flavour and move to the configured working directory.
#pragma once

namespace runvo {

void runStartup();

class ConfigTable;
// The settings part of the start-up, from a table already loaded.
void applyStartupSettings(const ConfigTable& table);

// The first character of key 2001, or '\0'; 'i' selects the installer flavour.
char launcherFlavour();
bool isInstallerFlavour();

}  // namespace runvo
