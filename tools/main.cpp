// tessaro-cli: the headless tool. One binary, one subcommand per job; the
// options of every subcommand are declared and checked here with CLI11
// (each has --help). Exit codes: 0 done, 1 the job failed, 2 bad usage;
// compose adds 3 (the editor cannot be used) and 130 (cancelled), see the
// README.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "base/FileIo.h"
#include "tools/Commands.h"

namespace {

int Inspect(const std::string& path) {
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
  // compose parses its own options (it has many); everything after its name
  // goes to it, --help included.
  if (argc >= 2 && std::string(argv[1]) == "compose")
    return tessaro::cli::Compose(tessaro::cli::Args(argv + 2, argv + argc));

  CLI::App app{"Tessaro's headless tool", "tessaro-cli"};
  app.require_subcommand(1);

  std::string inspectPath;
  CLI::App* inspect =
      app.add_subcommand("inspect",
                         "print a template package folder, a .cys set file, an image or a layered "
                         "document as JSON");
  inspect->add_option("path", inspectPath, "what to print")->required();

  std::string convertIn, convertOut;
  int quality = 0;
  bool progressive = false;
  CLI::App* convert = app.add_subcommand("convert", "convert an image (OUT: .png, .jpg or .psd)");
  convert->add_option("in", convertIn, "the image to read")->required();
  convert->add_option("out", convertOut, "the file to write")->required();
  convert->add_option("--quality,-q", quality, "JPEG quality")->check(CLI::Range(1, 100));
  convert->add_flag("--progressive", progressive, "progressive JPEG");

  std::vector<std::string> packPaths;
  std::string cacheDir;
  bool checkOnly = false;
  CLI::App* pack = app.add_subcommand("pack", "build a template package from an authoring description");
  pack->add_option("paths", packPaths, "DESCRIPTION OUT (only DESCRIPTION with --check)")
      ->required()
      ->expected(1, 2);
  pack->add_option("--cache", cacheDir, "folder of cached SVG renderings");
  pack->add_flag("--check", checkOnly, "only check the description");

  app.add_subcommand("compose", "compose the templates of set files (see compose --help)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  if (*inspect) return Inspect(inspectPath);
  if (*convert) {
    tessaro::cli::Args args = {convertIn, convertOut};
    if (quality > 0) args.insert(args.end(), {"--quality", std::to_string(quality)});
    if (progressive) args.push_back("--progressive");
    return tessaro::cli::Convert(args);
  }
  if (*pack) {
    if (packPaths.size() != (checkOnly ? 1u : 2u)) {
      std::fputs(checkOnly ? "tessaro-cli pack: --check takes only the description\n"
                           : "tessaro-cli pack: give the description and the output folder\n",
                 stderr);
      return 2;
    }
    tessaro::cli::Args args = packPaths;
    if (!cacheDir.empty()) args.insert(args.end(), {"--cache", cacheDir});
    if (checkOnly) args.push_back("--check");
    return tessaro::cli::Pack(args);
  }
  return 2;
}
