// tessaro-demo: writes the demo photos and the demo set at build time.
//   tessaro-demo photos FOLDER [NAME...]   paint the demo photos (all, or the named ones)
//   tessaro-demo set LIBRARY PHOTOS FILE   write the demo set file
//   tessaro-demo list                      print the demo photo file names
#include <cstdio>
#include <cstring>
#include <string>

#include "base/FileIo.h"
#include "resources/demo/DemoPhotos.h"
#include "resources/demo/DemoSet.h"

int main(int argc, char** argv) {
  using namespace tessaro;
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "list") {
    for (const auto& p : demo::DemoPhotos()) std::printf("%s\n", p.Name.c_str());
    return 0;
  }
  if (command == "photos" && argc >= 3) {
    const std::string folder = argv[2];
    if (!MakeDirectories(folder)) {
      std::fprintf(stderr, "tessaro-demo: cannot create %s\n", folder.c_str());
      return 1;
    }
    int failures = 0;
    for (const auto& p : demo::DemoPhotos()) {
      bool wanted = argc == 3;
      for (int i = 3; i < argc; ++i) wanted = wanted || p.Name == argv[i];
      if (!wanted) continue;
      if (Status s = demo::WriteDemoPhoto(p, folder); !s.ok()) {
        std::fprintf(stderr, "tessaro-demo: %s: %s\n", p.Name.c_str(), s.message().c_str());
        ++failures;
      }
    }
    return failures ? 1 : 0;
  }
  if (command == "set" && argc == 5) {
    if (Status s = demo::WriteDemoSet(argv[2], argv[3], argv[4]); !s.ok()) {
      std::fprintf(stderr, "tessaro-demo: %s\n", s.message().c_str());
      return 1;
    }
    return 0;
  }
  std::fputs("usage: tessaro-demo photos FOLDER [NAME...] | set LIBRARY PHOTOS FILE | list\n", stderr);
  return 2;
}
