// The demo set: a set file that uses several demo templates with the demo
// photos placed in their slots and adjusted (zoom, offsets, a small
// rotation, a mirror), so that composing it has a real job to run. Set files
// store absolute paths, so it points into the build tree it was made in.
#pragma once

#include <string>
#include <vector>

#include "base/Status.h"

namespace tessaro::demo {

// The template packages the set uses (folder names in the library).
const std::vector<std::string>& DemoSetTemplates();

// Builds the set from the packages in `libraryFolder` and the photos in
// `photoFolder`, writes it to `setFile` and reads it back to make sure that
// no template or photo is dropped.
Status WriteDemoSet(const std::string& libraryFolder, const std::string& photoFolder,
                    const std::string& setFile);

}  // namespace tessaro::demo
