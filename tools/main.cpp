// tessaro-cli: the headless tool. One binary, one subcommand per job.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "base/FileIo.h"
#include "tools/Commands.h"

namespace {

void PrintUsage() {
  std::fputs(
      "usage: tessaro-cli COMMAND [ARGS]\n"
      "\n"
      "commands:\n"
      "  inspect PATH            print a template package folder, a .cys set file,\n"
      "                          an image or a layered document as JSON\n"
      "  convert IN OUT          convert an image (OUT: .png, .jpg or .psd)\n"
      "  pack DESCRIPTION OUT    build a template package from an authoring description\n",
      stderr);
}

int Inspect(const tessaro::cli::Args& args) {
  if (args.size() != 1) {
    std::fputs("usage: tessaro-cli inspect PATH\n", stderr);
    return 2;
  }
  const std::string& path = args[0];
  return tessaro::cli::GuardMemory(path, [&] {
    if (tessaro::DirectoryExists(path)) return tessaro::cli::InspectPackage(path);
    if (tessaro::ExtensionOf(path) == ".cys") return tessaro::cli::InspectSet(path);
    return tessaro::cli::InspectImage(path);
  });
}

}  // namespace

namespace tessaro::cli {

int GuardMemory(const std::string& input, const std::function<int()>& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "tessaro-cli: %s: %s\n", input.c_str(), kNotEnoughMemory);
    return 1;
  }
}

}  // namespace tessaro::cli

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")) {
    PrintUsage();
    return argc < 2 ? 2 : 0;
  }
  std::string command = argv[1];
  tessaro::cli::Args args(argv + 2, argv + argc);
  if (command == "inspect") return Inspect(args);
  if (command == "convert") return tessaro::cli::Convert(args);
  if (command == "pack") return tessaro::cli::Pack(args);
  std::fprintf(stderr, "tessaro-cli: unknown command '%s'\n", command.c_str());
  PrintUsage();
  return 2;
}
