// Fuzzes the set-file reader: the input is parsed from memory and, when it
// parses, built into a set against a small tree of real packages (descriptor
// files written once per run and read by the disk source, as the program
// reads them). The built set must meet every invariant, and its encoding must
// parse again.
//
// The tree, below a private temporary folder: packages /a/ (three slots),
// /b/ (two slots, an effect, placements), /big/ (as many slots and
// placements as a template may have), /bad/ (a result descriptor that does
// not decipher), and photos /p/1.jpg, /p/2.png. Folder and photo paths of the
// input are taken below the tree, so a set naming "/big/" many times costs
// what it would cost in the program.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/FileIo.h"
#include "model/Package.h"
#include "model/SetFile.h"

namespace {

std::unique_ptr<tessaro::TTempNode> Template(int slots, int placements, int effects) {
  auto temp = std::make_unique<tessaro::TTempNode>();
  for (int i = 0; i < slots; ++i) {
    auto slot = std::make_unique<tessaro::TSlotNode>();
    slot->PhotoType = i % 2;
    for (int e = 0; e < effects; ++e) {
      auto effect = std::make_unique<tessaro::TEffectNode>();
      effect->Kind = 7;
      effect->Params.assign(7, 1.5f);
      slot->Effects.push_back(std::move(effect));
    }
    temp->Slots.push_back(std::move(slot));
  }
  for (int i = 0; i < placements; ++i) {
    auto p = std::make_unique<tessaro::TPlacement>();
    p->SlotNumber = slots > 0 ? slots - i % slots : 1;
    p->ChannelName = "ch" + std::to_string(i);
    p->Rect = {1, 2, 3, 4};
    temp->Placements.push_back(std::move(p));
  }
  return temp;
}

void WritePackage(const std::string& folder, const tessaro::TTempNode& temp, bool badResult) {
  tessaro::MakeDirectories(folder, 0700);
  auto bytes = tessaro::EncodeDescriptor(temp);
  if (!bytes.ok()) std::abort();
  if (!tessaro::WriteFileAtomic(tessaro::JoinPath(folder, tessaro::kPreviewDescriptorName), *bytes).ok())
    std::abort();
  if (badResult) bytes->resize(bytes->size() - 3);
  if (!tessaro::WriteFileAtomic(tessaro::JoinPath(folder, tessaro::kResultDescriptorName), *bytes).ok())
    std::abort();
}

std::string g_root;

void RemoveTree() {
  std::error_code ec;
  std::filesystem::remove_all(g_root, ec);
}

const std::string& FixtureRoot() {
  if (g_root.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-setfile-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    g_root = pattern;
    std::atexit(RemoveTree);
    WritePackage(g_root + "/a", *Template(3, 3, 0), false);
    WritePackage(g_root + "/b", *Template(2, 4, 1), false);
    WritePackage(g_root + "/big", *Template(tessaro::kMaxTemplateSlots, tessaro::kMaxTemplatePlacements, 1),
                 false);
    WritePackage(g_root + "/bad", *Template(1, 1, 0), true);
    tessaro::MakeDirectories(g_root + "/p", 0700);
    for (const char* photo : {"/p/1.jpg", "/p/2.png"})
      if (!tessaro::WriteFileAtomic(g_root + photo, std::string_view("x")).ok()) std::abort();
  }
  return g_root;
}

// The disk source with every path taken below the fixture tree.
class TFixtureSource : public tessaro::TSetFileSource {
 public:
  explicit TFixtureSource(std::string root) : FRoot(std::move(root)) {}
  bool FileExists(const std::string& path) const override { return FDisk.FileExists(Inside(path)); }
  std::unique_ptr<tessaro::TTempNode> ReadDescriptor(const std::string& path,
                                                     int templateIndex) const override {
    return FDisk.ReadDescriptor(Inside(path), templateIndex);
  }
  tessaro::Result<std::unique_ptr<tessaro::TTempNode>> ReadDescriptorFile(const std::string& path,
                                                                          int templateIndex) const override {
    return FDisk.ReadDescriptorFile(Inside(path), templateIndex);
  }

 private:
  std::string Inside(const std::string& path) const {
    // ".." could leave the tree; such paths name nothing.
    if (path.find("..") != std::string::npos) return FRoot + "/missing";
    return tessaro::JoinPath(FRoot, path);
  }
  std::string FRoot;
  tessaro::TDiskSetFileSource FDisk;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto parsed = tessaro::ParseSetFile(std::span<const uint8_t>(data, size));
  if (!parsed.ok()) return 0;
  TFixtureSource source(FixtureRoot());
  tessaro::TSetLoadReport report;
  auto set = tessaro::BuildSet(*parsed, "fuzz.cys", source, &report);
  if (!tessaro::CheckInvariants(*set).empty()) std::abort();
  if (report.DroppedTemplates.size() != report.DroppedTemplateReasons.size() ||
      report.DroppedPhotos.size() != report.DroppedPhotoReasons.size())
    std::abort();
  auto encoded = tessaro::EncodeSetFile(*set);
  if (!encoded.ok()) std::abort();
  auto again = tessaro::ParseSetFile(*encoded);
  if (!again.ok() || again->PreviewTemps.size() != set->PreviewTemps.size() ||
      again->Photos.size() != set->Photos.size())
    std::abort();
  return 0;
}
