// Subcommands of tessaro-cli. Each takes the arguments after its name and
// returns the process exit code; errors go to stderr as one line naming the
// file and what is wrong.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tessaro::cli {

using Args = std::vector<std::string>;

int InspectPackage(const std::string& folder);  // a template package folder
int InspectSet(const std::string& path);        // a .cys set file
int InspectImage(const std::string& path);      // an image or layered document
int Convert(const Args& args);
int Pack(const Args& args);
int Compose(const Args& args);

// Runs the work of a command on `input`. Running out of memory anywhere in it
// prints "tessaro-cli: INPUT: not enough memory to process it" and returns 1
// instead of ending the program by an uncaught exception.
int GuardMemory(const std::string& input, const std::function<int()>& work);
// The text ending that line, for commands that learn of it as a status.
inline constexpr const char* kNotEnoughMemory = "not enough memory to process it";

}  // namespace tessaro::cli
