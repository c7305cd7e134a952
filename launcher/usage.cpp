#include "launcher/usage.h"

namespace runvo {

std::string usageText(std::string_view program, std::string_view serviceName, std::string_view serviceLogPath) {
  std::string text = "Usage: " + std::string(program) + " VERB [non-interactive] [SERVICE NAME]\n";
  text +=
      "  /install          install the service, or update its registration (started by hand, or with Windows\n"
      "                    when so configured)\n"
      "  /install-auto     install the service, started with Windows\n"
      "  /install-demand   install the service, started by hand\n"
      "  /install-delayed  install the service, started with Windows after the other services\n"
      "  /uninstall        stop and remove the service\n"
      "  /start            start the service and wait until it runs\n"
      "  /stop             stop the service and wait until it has stopped\n"
      "  /restart          stop the service as /stop does, then start it as /start does\n"
      "  /status           say whether the service runs\n"
      "  /run              run the application in this console as the service runs it; Ctrl+C stops it\n"
      "  /help             this text\n"
      "A verb may start with /, - or --. SERVICE NAME replaces the configured name '";
  text += std::string(serviceName) + "'; put it in double quotes when it has spaces.\n";
  text +=
      "Exit codes: 0 done, 1 failed, 2 wrong usage, 3 the service does not run (/status);\n"
      "/run ends with the application's exit code.\n";
  text += "Service log: " + std::string(serviceLogPath) + "\n";
  text += "Launcher trace: set RUNVO_LOG=yes; every error message then names its file.\n";
  return text;
}

}  // namespace runvo
