#pragma once

#include <string>
#include <vector>

namespace platform {

// Starts `program` (a path, not looked up in PATH) with `arguments` (not
// counting the program itself) in the folder `workingDir`, detached from the
// caller: the new process is no child of the caller, so it leaves no zombie
// behind and outlives the caller; it runs in a session of its own and
// inherits the caller's environment and standard input, output and error but
// no other open descriptor.
//
// Returns true once the program is running, false with errno set when it
// could not be started (missing or not executable program, missing folder).
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDir);

// The first executable file `name` in the folders of PATH; empty when none.
std::string FindProgram(const std::string& name);

// Runs `program` with `arguments` and waits for it to end. Its exit status,
// or -1 when it could not be started or was ended by a signal.
int RunAndWait(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace platform
