// tessaro-cli pack DESCRIPTION OUT_FOLDER [--cache DIR] [--check]: builds a
// template package from an authoring description (docs/authoring.md). The
// description is checked as a whole first; every mistake is printed on its
// own line as "DESCRIPTION: location: message" and nothing is written.
// Exit status: 0 built, 1 mistakes in the description or its pictures (or a
// failure to write), 2 wrong usage.
#include <cstdio>

#include "base/FileIo.h"
#include "tools/Commands.h"
#include "tools/pack/Builder.h"
#include "tools/pack/Description.h"

namespace tessaro::cli {

namespace {

int Usage() {
  std::fputs(
      "usage: tessaro-cli pack DESCRIPTION OUT_FOLDER [--cache DIR]\n"
      "       tessaro-cli pack --check DESCRIPTION\n"
      "  --cache DIR  keep renderings of SVG drawings in DIR and reuse them\n"
      "  --check      only check the description\n",
      stderr);
  return 2;
}

}  // namespace

// Checks the description and, given an output folder, builds the package.
static int Build(const std::string& description, bool checkOnly, const std::string& outFolder,
                 const std::string& cacheDir);

int Pack(const Args& args) {
  std::vector<std::string> paths;
  std::string cacheDir;
  bool checkOnly = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--cache") {
      if (i + 1 >= args.size()) return Usage();
      cacheDir = args[++i];
    } else if (a == "--check") {
      checkOnly = true;
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "tessaro-cli: pack: unknown option '%s'\n", a.c_str());
      return Usage();
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != (checkOnly ? 1u : 2u)) return Usage();
  const std::string& description = paths[0];

  return GuardMemory(description,
                     [&] { return Build(description, checkOnly, checkOnly ? "" : paths[1], cacheDir); });
}

static int Build(const std::string& description, bool checkOnly, const std::string& outFolder,
                 const std::string& cacheDir) {
  authoring::TCheckedDescription checked = authoring::ReadDescription(description);
  for (const auto& e : checked.Errors)
    std::fprintf(stderr, "%s\n", authoring::FormatError(description, e).c_str());
  if (!checked.ok()) return 1;
  if (checkOnly) return 0;

  authoring::TBuildOptions options;
  options.CacheDir = cacheDir;
  options.Name = FileNameOf(WithoutTrailingSeparator(outFolder));
  auto errors = authoring::BuildPackage(checked.Template, outFolder, options);
  for (const auto& e : errors) std::fprintf(stderr, "%s\n", authoring::FormatError(description, e).c_str());
  return errors.empty() ? 0 : 1;
}

}  // namespace tessaro::cli
