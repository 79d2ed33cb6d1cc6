#include <iostream>

#include "menu/host/ShellCommand.h"

int main(int argc, char** argv) {
  const auto notifier = DesktopNotifier();
  return RunShellCommand(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                         *notifier);
}
