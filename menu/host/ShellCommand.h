#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "menu/host/Notifier.h"

// vlm-shell: drives context-menu extensions the way a file manager's shell
// does, for file-manager actions and for testing.
//
//   register [LIBRARY]      load the library (default: menu.so beside this
//   unregister [LIBRARY]    program) and call DllRegisterServer or
//                           DllUnregisterServer
//   query [--flags N] [--] PATH...   list the context-menu items for the
//                                    selection with their help texts, one
//                                    "text<TAB>help" line each
//   invoke [--notify] [--] PATH...   choose "&Protect Images" for the
//                                    selection; with --notify every failure
//                                    is also shown to the user through
//                                    `notifier`, as file managers start it
//   where                   print where the options, the backup sets and the
//                           hand-off file are ("options<TAB>PATH" lines)
//
// Paths that do not exist are left out with a message; the rest of the
// selection goes on. `arguments` excludes the program name. Returns the exit
// status: 0 done, 1 failed (or no such item), 2 wrong use. Results go to
// `out`, failures and problems met on the way to `err`.
int RunShellCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                    Notifier& notifier);
