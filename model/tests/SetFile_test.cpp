#include "model/SetFile.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Fakes.h"
#include "base/ByteReader.h"
#include "model/Photos.h"

namespace tessaro {
namespace {

using testing::PackageSpec;

// Packages and photos in memory: a package is its folder with the photo types
// of its slots; `Unreadable` lists descriptor files that exist but fail.
class MemorySource : public TSetFileSource {
 public:
  bool FileExists(const std::string& path) const override {
    if (Files.count(path)) return true;
    for (const auto& [folder, types] : Packages)
      if (path == JoinPath(folder, "brivanto_a.dll") || path == JoinPath(folder, "brivanto_b.dll"))
        return true;
    return false;
  }
  std::unique_ptr<TTempNode> ReadDescriptor(const std::string& path, int templateIndex) const override {
    ++Reads;
    if (Unreadable.count(path)) return nullptr;
    for (const auto& [folder, types] : Packages) {
      if (path != JoinPath(folder, "brivanto_a.dll") && path != JoinPath(folder, "brivanto_b.dll")) continue;
      PackageSpec spec;
      spec.SlotTypes = types;
      auto t = testing::TemplateFromSpec(spec);
      t->Folder = folder;
      for (auto& s : t->Slots) s->TempIndex = templateIndex;
      return t;
    }
    return nullptr;
  }
  std::map<std::string, std::vector<int>> Packages;
  std::set<std::string> Files, Unreadable;
  mutable int Reads = 0;
};

TSlotRecord Slot(int photo, float offsetX = 0.25f) {
  TSlotRecord s;
  s.PhotoIndex = photo;
  s.OffsetX = offsetX;
  s.OffsetY = -0.5f;
  s.ScaleX = 1.5f;
  s.ScaleY = 2.0f;
  s.Angle = 450;
  s.FlipH = true;
  return s;
}

TTemplateRecord Record(const std::string& folder, std::vector<TSlotRecord> slots) {
  TTemplateRecord r;
  r.Folder = folder;
  r.Width = 8;
  r.Height = 10;
  r.SizeUnit = 1;
  r.Spread = 0;
  r.SizeName = "10×8  (10英寸)";
  r.HeaderValue = 5;
  r.ImportStamp = "2009_03_07_14_05_09";
  r.Slots = std::move(slots);
  return r;
}

TSetFileData Data(std::vector<TTemplateRecord> temps, std::vector<std::string> photos) {
  TSetFileData d;
  d.PreviewTemps = temps;
  d.ResultTemps = temps;
  for (auto& r : d.ResultTemps)
    for (auto& s : r.Slots) s.PhotoIndex = -1;
  d.Photos = std::move(photos);
  return d;
}

std::vector<int> PhotoIndices(const TTempNode& t) {
  std::vector<int> out;
  for (const auto& s : t.Slots) out.push_back(s->PhotoIndex);
  return out;
}

class BuildSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FSource.Packages = {{"/pkg/a/", {1, 1, 1}}, {"/pkg/b/", {0, 1}}};
    FSource.Files = {"/p/1.jpg", "/p/2.jpg", "/p/3.png"};
  }
  MemorySource FSource;
};

TEST_F(BuildSetTest, StoredFieldsOverwriteTheDescriptors) {
  auto set =
      BuildSet(Data({Record("/pkg/a/", {Slot(0), Slot(2), Slot(-1)})}, {"/p/1.jpg", "/p/2.jpg", "/p/3.png"}),
               "/s/x.cys", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(set->FileName, "/s/x.cys");
  ASSERT_EQ(set->PreviewTemps.size(), 1u);
  const TTempNode& t = *set->PreviewTemps[0];
  EXPECT_EQ(t.Width, 8.0f);
  EXPECT_EQ(t.SizeName, "10×8  (10英寸)");
  EXPECT_EQ(t.HeaderValue, 5) << "the stored header value wins";
  EXPECT_EQ(t.ImportStamp, "2009_03_07_14_05_09");
  EXPECT_EQ(t.PlacedCount, 2);
  EXPECT_EQ(PhotoIndices(t), (std::vector<int>{0, 2, -1}));
  EXPECT_EQ(t.Slots[0]->Angle, 450.0f);
  EXPECT_TRUE(t.Slots[0]->FlipH);
  EXPECT_FALSE(t.Slots[0]->FlipV);
  EXPECT_EQ(t.Slots[0]->PhotoType, 1) << "photo types come from the descriptor";
  EXPECT_EQ(t.Slots[2]->OffsetX, 0.25f) << "an empty slot keeps its stored transform";
  EXPECT_EQ(set->Photos[2]->UsedBy.size(), 1u);
}

TEST_F(BuildSetTest, MissingPhotoIsDroppedAndLaterIndicesShift) {
  FSource.Files.erase("/p/2.jpg");
  auto set =
      BuildSet(Data({Record("/pkg/a/", {Slot(0), Slot(1), Slot(2)}), Record("/pkg/b/", {Slot(1), Slot(2)})},
                    {"/p/1.jpg", "/p/2.jpg", "/p/3.png"}),
               "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->Photos.size(), 2u);
  EXPECT_EQ(set->Photos[1]->FileName, "/p/3.png");
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{0, -1, 1}));
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[1]), (std::vector<int>{-1, 1}));
  EXPECT_EQ(set->PreviewTemps[0]->PlacedCount, 2);
  EXPECT_EQ(set->PreviewTemps[1]->PlacedCount, 1);
  EXPECT_EQ(set->PreviewTemps[0]->Slots[1]->ScaleX, 1.5f) << "the transform stays as stored";
}

TEST_F(BuildSetTest, DuplicatePhotoIsKeptOnce) {
  auto set =
      BuildSet(Data({Record("/pkg/a/", {Slot(0), Slot(1), Slot(2)})}, {"/p/1.jpg", "/p/1.jpg", "/p/2.jpg"}),
               "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->Photos.size(), 2u);
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{0, -1, 1}));
}

TEST_F(BuildSetTest, PhotosThatAreNoPicturesAreDropped) {
  FSource.Files.insert({"/p/UP.JPG", "/p/noext"});
  auto set =
      BuildSet(Data({Record("/pkg/a/", {Slot(0), Slot(1), Slot(2)})}, {"/p/UP.JPG", "/p/noext", "/p/3.png"}),
               "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->Photos.size(), 1u);
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{-1, -1, 0}));
}

TEST_F(BuildSetTest, MissingPackageLeavesTheOthersWithTheirOwnSlots) {
  auto set = BuildSet(Data({Record("/pkg/moved/", {Slot(0)}), Record("/pkg/b/", {Slot(-1), Slot(1, 0.75f)})},
                           {"/p/1.jpg", "/p/2.jpg"}),
                      "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->PreviewTemps.size(), 1u);
  EXPECT_EQ(set->PreviewTemps[0]->Folder, "/pkg/b/");
  EXPECT_EQ(set->PreviewTemps[0]->Slots[0]->TempIndex, 0);
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{-1, 1}));
  EXPECT_EQ(set->PreviewTemps[0]->Slots[1]->OffsetX, 0.75f);
  EXPECT_TRUE(set->Photos[0]->UsedBy.empty());
}

TEST_F(BuildSetTest, UnreadableResultDescriptorDropsTheTemplateFromBothLists) {
  FSource.Unreadable.insert("/pkg/a/brivanto_b.dll");
  TSetLoadReport report;
  auto set = BuildSet(Data({Record("/pkg/a/", {Slot(0)}), Record("/pkg/b/", {Slot(0)})}, {"/p/1.jpg"}), "",
                      FSource, &report);
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->PreviewTemps.size(), 1u);
  EXPECT_EQ(set->ResultTemps.size(), 1u);
  EXPECT_EQ(set->ResultTemps[0]->Folder, "/pkg/b/");
  EXPECT_EQ(report.DroppedTemplates, std::vector<std::string>{"/pkg/a/"});
}

TEST_F(BuildSetTest, ExtraSlotRecordsAndBadIndicesAreIgnored) {
  auto set =
      BuildSet(Data({Record("/pkg/b/", {Slot(5), Slot(-3), Slot(0), Slot(0)})}, {"/p/1.jpg"}), "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{-1, -1}));
  EXPECT_EQ(set->PreviewTemps[0]->PlacedCount, 0);
  EXPECT_TRUE(set->Photos[0]->UsedBy.empty()) << "the third and fourth records had no slot";
}

TEST_F(BuildSetTest, FewerSlotRecordsLeaveTheRestEmpty) {
  auto set = BuildSet(Data({Record("/pkg/a/", {Slot(0)})}, {"/p/1.jpg"}), "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(PhotoIndices(*set->PreviewTemps[0]), (std::vector<int>{0, -1, -1}));
  EXPECT_EQ(set->PreviewTemps[0]->Slots[2]->ScaleX, -1.0f);
}

TEST_F(BuildSetTest, UnpairedOrMismatchedRecordsAreDropped) {
  TSetFileData d = Data({Record("/pkg/a/", {Slot(0)}), Record("/pkg/b/", {Slot(0)})}, {"/p/1.jpg"});
  d.ResultTemps.pop_back();
  auto set = BuildSet(d, "", FSource);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(set->PreviewTemps.size(), 1u);

  TSetFileData crossed = Data({Record("/pkg/a/", {Slot(0)})}, {"/p/1.jpg"});
  crossed.ResultTemps[0].Folder = "/pkg/b/";
  EXPECT_TRUE(BuildSet(crossed, "", FSource)->PreviewTemps.empty()) << "both versions come from one package";
}

TEST_F(BuildSetTest, NonFiniteNumbersCountAsUnset) {
  TTemplateRecord r = Record("/pkg/b/", {Slot(0)});
  r.Width = std::numeric_limits<float>::quiet_NaN();
  r.Slots[0].ScaleX = std::numeric_limits<float>::infinity();
  r.Slots[0].Angle = std::numeric_limits<float>::quiet_NaN();
  auto set = BuildSet(Data({r}, {"/p/1.jpg"}), "", FSource);
  EXPECT_EQ(set->PreviewTemps[0]->Width, -1.0f);
  EXPECT_EQ(set->PreviewTemps[0]->Slots[0]->ScaleX, -1.0f);
  EXPECT_EQ(set->PreviewTemps[0]->Slots[0]->Angle, 0.0f);
}

TEST_F(BuildSetTest, EachPackageIsReadOnceHoweverOftenTheSetNamesIt) {
  std::vector<TTemplateRecord> records;
  for (int i = 0; i < 50; ++i) records.push_back(Record(i % 5 == 4 ? "/pkg/b/" : "/pkg/a/", {Slot(i % 2)}));
  auto set = BuildSet(Data(records, {"/p/1.jpg", "/p/2.jpg"}), "", FSource);
  EXPECT_EQ(FSource.Reads, 4) << "two descriptors of each of two packages";
  ASSERT_EQ(CheckInvariants(*set), "");
  ASSERT_EQ(set->PreviewTemps.size(), 50u);
  for (int i = 0; i < 50; ++i) {
    const TTempNode& t = *set->PreviewTemps[i];
    EXPECT_EQ(t.Folder, i % 5 == 4 ? "/pkg/b/" : "/pkg/a/");
    EXPECT_EQ(t.Slots.size(), i % 5 == 4 ? 2u : 3u);
    EXPECT_EQ(t.Slots[0]->TempIndex, i);
    EXPECT_EQ(t.Slots[0]->PhotoIndex, i % 2) << "each copy gets its own record";
    EXPECT_NE(t.Slots[0].get(), set->ResultTemps[i]->Slots[0].get());
  }
  EXPECT_EQ(set->Photos[0]->UsedBy.size(), 25u);
}

TEST_F(BuildSetTest, TemplatesBeyondTheMemoryCapAreDroppedAndSaySo) {
  FSource.Packages["/pkg/wide/"] = std::vector<int>(200, 1);
  std::vector<TTemplateRecord> records(40, Record("/pkg/wide/", {}));
  TSetLoadReport report;
  // Each record costs at least its 400 slots: room for at most ten.
  const uint64_t perTemplate = 2 * 200 * sizeof(TSlotNode);
  auto set = BuildSet(Data(records, {}), "", FSource, &report, perTemplate * 10);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_TRUE(report.WorkCapReached);
  EXPECT_GT(set->PreviewTemps.size(), 0u);
  EXPECT_LE(set->PreviewTemps.size(), 10u);
  ASSERT_EQ(report.DroppedTemplates.size(), 40u - set->PreviewTemps.size());
  for (const std::string& reason : report.DroppedTemplateReasons)
    EXPECT_NE(reason.find("no real set is that large"), std::string::npos) << reason;

  TSetLoadReport plenty;
  EXPECT_EQ(BuildSet(Data(records, {}), "", FSource, &plenty)->PreviewTemps.size(), 40u);
  EXPECT_FALSE(plenty.WorkCapReached);
}

TEST_F(BuildSetTest, EveryDroppedTemplateAndPhotoHasItsReason) {
  FSource.Unreadable.insert("/pkg/b/brivanto_b.dll");
  TSetFileData d = Data({Record("/pkg/moved/", {}), Record("/pkg/b/", {}), Record("/pkg/a/", {}),
                         Record("/pkg/a/", {}), Record("/pkg/a/", {})},
                        {"/p/1.jpg", "/p/notes.txt", "/p/1.jpg", "/p/gone.jpg"});
  d.ResultTemps[2].Folder = "/pkg/b/";
  d.ResultTemps.pop_back();
  TSetLoadReport report;
  auto set = BuildSet(d, "", FSource, &report);
  ASSERT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(set->PreviewTemps.size(), 1u);
  EXPECT_EQ(report.DroppedTemplates,
            (std::vector<std::string>{"/pkg/moved/", "/pkg/b/", "/pkg/a/", "/pkg/a/"}));
  const std::vector<std::string> templateReasons = {
      "/pkg/moved/brivanto_a.dll: no such file", "/pkg/b/brivanto_b.dll: cannot be read",
      "its result record names another folder, /pkg/b/", "the set file holds only its preview record"};
  EXPECT_EQ(report.DroppedTemplateReasons, templateReasons);
  EXPECT_EQ(report.DroppedPhotos, (std::vector<std::string>{"/p/notes.txt", "/p/1.jpg", "/p/gone.jpg"}));
  EXPECT_EQ(report.DroppedPhotoReasons,
            (std::vector<std::string>{"not a picture type", "named twice in the set", "no such file"}));
}

// The layout written byte by byte, independently of the encoder.
TEST(ParseSetFile, ReadsTheLayout) {
  ByteWriter w;
  auto text = [&](const std::string& s) {
    w.I32LE(static_cast<int32_t>(s.size()));
    w.Append(s);
  };
  auto temp = [&](int32_t photo) {
    text("/pkg/a/");
    w.F32LE(3.5f);
    w.F32LE(5);
    w.I32LE(1);
    w.I32LE(0);
    text("5×3.5 (5英寸)");
    w.I32LE(77);
    text(std::string("2009_01_02_03_04_05\0junk", 24));
    w.I32LE(1);
    w.I32LE(photo);
    for (float f : {0.1f, 0.2f, 1.5f, 1.25f, -90.0f}) w.F32LE(f);
    w.U8(0);
    w.U8(1);
  };
  w.I32LE(1);
  temp(0);
  w.I32LE(1);
  temp(-1);
  w.I32LE(1);
  text("/照片/a.jpg");
  auto d = ParseSetFile(w.Bytes());
  ASSERT_TRUE(d.ok()) << d.message();
  ASSERT_EQ(d->PreviewTemps.size(), 1u);
  const TTemplateRecord& r = d->PreviewTemps[0];
  EXPECT_EQ(r.Folder, "/pkg/a/");
  EXPECT_EQ(r.Width, 3.5f);
  EXPECT_EQ(r.SizeName, "5×3.5 (5英寸)");
  EXPECT_EQ(r.HeaderValue, 77);
  EXPECT_EQ(r.ImportStamp, "2009_01_02_03_04_05") << "texts end at a zero byte";
  ASSERT_EQ(r.Slots.size(), 1u);
  EXPECT_EQ(r.Slots[0].ScaleY, 1.25f);
  EXPECT_EQ(r.Slots[0].Angle, -90.0f);
  EXPECT_FALSE(r.Slots[0].FlipH);
  EXPECT_TRUE(r.Slots[0].FlipV);
  EXPECT_EQ(d->ResultTemps[0].Slots[0].PhotoIndex, -1);
  EXPECT_EQ(d->Photos, std::vector<std::string>{"/照片/a.jpg"});
}

TEST(ParseSetFile, EncodingOfAnEmptySetIsThreeZeroCounts) {
  TSetNode empty;
  auto bytes = EncodeSetFile(empty);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(*bytes, std::vector<uint8_t>(12, 0));
}

TEST(ParseSetFile, EveryTruncationIsAnError) {
  TSetNode set;
  for (auto* list : {&set.PreviewTemps, &set.ResultTemps}) {
    list->push_back(std::make_unique<TTempNode>());
    list->back()->Folder = "/pkg/a/";
    list->back()->SizeName = "s";
    list->back()->Slots.push_back(std::make_unique<TSlotNode>());
  }
  set.Photos.push_back(std::make_unique<TPhotoInfoNode>());
  set.Photos.back()->FileName = "/p/1.jpg";
  auto bytes = EncodeSetFile(set);
  ASSERT_TRUE(bytes.ok());
  ASSERT_TRUE(ParseSetFile(*bytes).ok());
  for (size_t n = 0; n < bytes->size(); ++n) {
    std::vector<uint8_t> cut(bytes->begin(), bytes->begin() + n);
    EXPECT_FALSE(ParseSetFile(cut).ok()) << n;
  }
}

struct HostileCase {
  const char* name;
  std::vector<int32_t> words;  // little-endian int32 values
  const char* message;
};

class HostileSetFileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileSetFileTest, IsRefusedBeforeAllocating) {
  ByteWriter w;
  for (int32_t v : GetParam().words) w.I32LE(v);
  w.Zeros(64);
  auto d = ParseSetFile(w.Bytes());
  ASSERT_FALSE(d.ok()) << GetParam().name;
  EXPECT_NE(d.message().find(GetParam().message), std::string::npos) << d.message();
}

INSTANTIATE_TEST_SUITE_P(
    Counts, HostileSetFileTest,
    ::testing::Values(
        HostileCase{"template count", {0x7fffffff}, "more than the file holds"},
        HostileCase{"negative template count", {-1}, "negative"},
        HostileCase{"photo count", {0, 0, 0x40000000}, "more than the file holds"},
        HostileCase{"slot count", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0x7ffffff0}, "slot record count"},
        HostileCase{"folder length", {1, 5000}, "more than 4096"},
        HostileCase{
            "negative folder length", {1, -4}, "folder of preview template 1 has a negative length -4"},
        HostileCase{"negative photo path length", {0, 0, 1, -7}, "photo 1 has a negative length -7"},
        HostileCase{"size name length", {1, 0, 0, 0, 0, 0, 256}, "more than 255"},
        HostileCase{"photo path length", {0, 0, 1, 0x7fffffff}, "more than 4096"}));

TEST(ParseSetFile, TrailingBytesAreIgnored) {
  std::vector<uint8_t> bytes(12, 0);
  bytes.push_back(0x55);
  EXPECT_TRUE(ParseSetFile(bytes).ok());
}

TEST(EncodeSetFile, CutsShortTextsOnCharacterBoundaries) {
  TSetNode set;
  for (auto* list : {&set.PreviewTemps, &set.ResultTemps}) {
    list->push_back(std::make_unique<TTempNode>());
    std::string name;
    for (int i = 0; i < 100; ++i) name += "名";  // 300 bytes
    list->back()->SizeName = name;
  }
  auto bytes = EncodeSetFile(set);
  ASSERT_TRUE(bytes.ok());
  auto d = ParseSetFile(*bytes);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->PreviewTemps[0].SizeName.size(), 255u);
  set.Photos.push_back(std::make_unique<TPhotoInfoNode>());
  set.Photos.back()->FileName = "/" + std::string(5000, 'a') + ".jpg";
  EXPECT_FALSE(EncodeSetFile(set).ok()) << "a path no reader takes back is refused";
}

TEST(ReadSetFile, SavedSetLoadsAsTheSameSet) {
  test::TempFolder dir;
  testing::WritePackage(dir / "pkg/a", testing::SlotsSpec({1, 1, 0}));
  testing::WritePackage(dir / "pkg/b", testing::SlotsSpec({1, 1}));
  testing::WriteText(dir / "p/1.jpg", "x");
  testing::WriteText(dir / "p/2.png", "x");
  TDiskSetFileSource disk;
  TSetNode set;
  for (const char* name : {"pkg/a/", "pkg/b/"}) {
    auto a = disk.ReadDescriptor(dir / (std::string(name) + "brivanto_a.dll"),
                                 static_cast<int>(set.PreviewTemps.size()));
    auto b = disk.ReadDescriptor(dir / (std::string(name) + "brivanto_b.dll"),
                                 static_cast<int>(set.PreviewTemps.size()));
    ASSERT_TRUE(a && b);
    a->Width = b->Width = 8;
    a->Height = b->Height = 10;
    a->SizeUnit = b->SizeUnit = 1;
    a->SizeName = b->SizeName = "10×8  (10英寸)";
    a->ImportStamp = b->ImportStamp = "2009_03_07_14_05_09";
    set.PreviewTemps.push_back(std::move(a));
    set.ResultTemps.push_back(std::move(b));
  }
  for (const char* p : {"p/1.jpg", "p/2.png"}) {
    set.Photos.push_back(std::make_unique<TPhotoInfoNode>());
    set.Photos.back()->FileName = dir / p;
  }
  // Photo 0 in three slots of two templates, photo 1 in one.
  const std::pair<int, int> slots[] = {{0, 0}, {0, 1}, {1, 1}};
  for (auto [t, s] : slots) AssignPhotoToSlot(&set, set.PreviewTemps[t]->Slots[s].get(), 0, TPhotoRows{});
  AssignPhotoToSlot(&set, set.PreviewTemps[0]->Slots[2].get(), 1, TPhotoRows{});
  testing::SpreadSlotTransforms(set, 90, &TSlotNode::FlipV);
  ASSERT_EQ(CheckInvariants(set), "");
  auto bytes = EncodeSetFile(set);
  ASSERT_TRUE(bytes.ok());
  ASSERT_TRUE(WriteFileAtomic(dir / "s.cys", *bytes).ok());

  auto loaded = ReadSetFile(dir / "s.cys", disk);
  ASSERT_TRUE(loaded.ok()) << loaded.message();
  const TSetNode& l = **loaded;
  ASSERT_EQ(CheckInvariants(l), "");
  ASSERT_EQ(l.PreviewTemps.size(), 2u);
  EXPECT_EQ(l.PreviewTemps[0]->PlacedCount, 3);
  EXPECT_EQ(l.PreviewTemps[1]->PlacedCount, 1);
  ASSERT_EQ(l.Photos.size(), 2u);
  EXPECT_EQ(l.Photos[0]->UsedBy.size(), 3u);
  EXPECT_EQ(l.Photos[1]->UsedBy.size(), 1u);
  for (size_t t = 0; t < 2; ++t) {
    EXPECT_EQ(l.PreviewTemps[t]->SizeName, "10×8  (10英寸)");
    EXPECT_EQ(l.PreviewTemps[t]->Folder, set.PreviewTemps[t]->Folder);
    for (size_t s = 0; s < l.PreviewTemps[t]->Slots.size(); ++s) {
      const TSlotNode& a = *set.PreviewTemps[t]->Slots[s];
      const TSlotNode& b = *l.PreviewTemps[t]->Slots[s];
      testing::ExpectSameSlot(b, a);
      EXPECT_EQ(b.Effects.size(), a.Effects.size());
    }
  }
  EXPECT_FALSE(ReadSetFile(dir / "none.cys", disk).ok());
}

}  // namespace
}  // namespace tessaro
