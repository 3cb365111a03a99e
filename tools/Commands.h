// Subcommands of tessaro-cli. Each takes the arguments after its name and
// returns the process exit code; errors go to stderr as one line naming the
// file and what is wrong.
#pragma once

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

}  // namespace tessaro::cli
