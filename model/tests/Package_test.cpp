#include "model/Package.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "Fakes.h"
#include "base/ByteReader.h"
#include "crypt/Crypt.h"

namespace tessaro {
namespace {

using testing::PackageSpec;

// Descriptor bodies written field by field, independently of the encoder.
class BodyBuilder {
 public:
  BodyBuilder& I32(int32_t v) {
    FOut.I32LE(v);
    return *this;
  }
  BodyBuilder& F32(float v) {
    FOut.F32LE(v);
    return *this;
  }
  BodyBuilder& Byte(uint8_t v) {
    FOut.U8(v);
    return *this;
  }
  BodyBuilder& Text(const std::string& s) {
    FOut.Append(s);
    return *this;
  }
  BodyBuilder& Placement(int32_t slot, const std::string& name, float l, float t, float r, float b) {
    return Byte(0x43).I32(slot).I32(static_cast<int32_t>(name.size())).Text(name).F32(l).F32(t).F32(r).F32(b);
  }
  // The cipher library's fill: 0x80 then zeros to a multiple of 8.
  std::vector<uint8_t> Padded() {
    std::vector<uint8_t> b = FOut.Bytes();
    if (b.size() % 8) {
      b.push_back(0x80);
      while (b.size() % 8) b.push_back(0);
    }
    return b;
  }
  std::vector<uint8_t> Raw() const { return FOut.Bytes(); }

 private:
  ByteWriter FOut;
};

std::vector<std::string> Order(const TTempNode& t) {
  std::vector<std::string> out;
  for (const auto& p : t.Placements) out.push_back(std::to_string(p->SlotNumber) + ":" + p->ChannelName);
  return out;
}

TEST(ParseDescriptorBody, ReadsSlotsEffectsAndSortedPlacements) {
  BodyBuilder b;
  b.I32(1234).I32(1).I32(2);
  b.I32(0).I32(2).I32(5).I32(2).F32(0.25f).F32(-3).I32(6).I32(0);  // slot 1: two effects
  b.I32(1).I32(0);                                                 // slot 2: none
  b.Placement(3, "c", 1, 2, 3, 4).Placement(1, "a1", 10, 20, 30, 40).Placement(2, "", 0, 0, 1, 1);
  b.Placement(1, "a2", 5, 6, 7, 8);
  auto t = ParseDescriptorBody(b.Padded(), 4);
  ASSERT_TRUE(t.ok()) << t.message();
  const TTempNode& temp = **t;
  EXPECT_EQ(temp.HeaderValue, 1234);
  EXPECT_EQ(temp.Spread, 1);
  EXPECT_EQ(temp.Width, -1.0f);
  EXPECT_EQ(temp.SizeUnit, -1);
  EXPECT_EQ(temp.PlacedCount, 0);
  ASSERT_EQ(temp.Slots.size(), 2u);
  const TSlotNode& s0 = *temp.Slots[0];
  EXPECT_EQ(s0.TempIndex, 4);
  EXPECT_EQ(s0.PhotoType, 0);
  EXPECT_EQ(s0.PhotoIndex, -1);
  EXPECT_EQ(s0.OffsetX, -1.0f);
  EXPECT_EQ(s0.ScaleY, -1.0f);
  EXPECT_EQ(s0.Angle, 0.0f);
  ASSERT_EQ(s0.Effects.size(), 2u);
  EXPECT_EQ(s0.Effects[0]->Kind, 5);
  EXPECT_EQ(s0.Effects[0]->Params, (std::vector<float>{0.25f, -3}));
  EXPECT_EQ(s0.Effects[1]->Kind, 6);
  EXPECT_TRUE(s0.Effects[1]->Params.empty());
  EXPECT_EQ(temp.Slots[1]->PhotoType, 1);
  EXPECT_EQ(Order(temp), (std::vector<std::string>{"1:a1", "1:a2", "2:", "3:c"}));
  EXPECT_EQ(temp.Placements[0]->Rect.Right, 30.0f);
}

TEST(ParseDescriptorBody, HeaderOnlyGivesNoSlotsAndNoPlacements) {
  auto t = ParseDescriptorBody(BodyBuilder().I32(0).I32(0).I32(0).Padded(), 0);
  ASSERT_TRUE(t.ok());
  EXPECT_TRUE((*t)->Slots.empty());
  EXPECT_TRUE((*t)->Placements.empty());
}

TEST(ParseDescriptorBody, PlacementsEndAtAnotherTagOrTheLastByte) {
  BodyBuilder b;
  b.I32(0).I32(0).I32(0).Placement(1, "x", 1, 1, 1, 1).Byte(0x44).Placement(2, "y", 1, 1, 1, 1);
  auto t = ParseDescriptorBody(b.Raw(), 0);
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(Order(**t), (std::vector<std::string>{"1:x"}));
  // One byte left is not a placement, even when it is the tag.
  auto u = ParseDescriptorBody(BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).Raw(), 0);
  ASSERT_TRUE(u.ok());
  EXPECT_TRUE((*u)->Placements.empty());
}

TEST(ParseDescriptorBody, ChannelNameEndsAtAZeroByte) {
  BodyBuilder b;
  b.I32(0).I32(0).I32(0).Placement(1, std::string("ab\0cd", 5), 1, 2, 3, 4).Placement(2, "", 0, 0, 0, 0);
  auto t = ParseDescriptorBody(b.Raw(), 0);
  ASSERT_TRUE(t.ok());
  EXPECT_EQ((*t)->Placements[0]->ChannelName, "ab");
  EXPECT_EQ((*t)->Placements[0]->Rect.Bottom, 4.0f) << "the whole length is skipped";
  EXPECT_EQ((*t)->Placements[1]->ChannelName, "");
}

std::vector<uint8_t> ManySlots(int count) {
  BodyBuilder b;
  b.I32(0).I32(0).I32(count);
  for (int i = 0; i < count; ++i) b.I32(i % 2).I32(0);
  return b.Padded();
}

std::vector<uint8_t> ManyPlacements(int count) {
  BodyBuilder b;
  b.I32(0).I32(0).I32(2).I32(0).I32(0).I32(1).I32(0);
  for (int i = 0; i < count; ++i) b.Placement(2 - i % 2, "c", 0, 0, 1, 1);
  return b.Padded();
}

struct MalformedCase {
  const char* name;
  std::vector<uint8_t> body;
  const char* message;
};

class MalformedBodyTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedBodyTest, IsAFailedRead) {
  auto t = ParseDescriptorBody(GetParam().body, 0);
  ASSERT_FALSE(t.ok()) << GetParam().name;
  EXPECT_NE(t.message().find(GetParam().message), std::string::npos) << t.message();
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, MalformedBodyTest,
    ::testing::Values(
        MalformedCase{"empty", {}, "header"},
        MalformedCase{"short header", BodyBuilder().I32(1).I32(0).Raw(), "header"},
        MalformedCase{"negative slot count", BodyBuilder().I32(0).I32(0).I32(-1).I32(0).I32(0).Raw(),
                      "negative"},
        MalformedCase{"slot count beyond the body",
                      BodyBuilder().I32(0).I32(0).I32(0x7fffffff).I32(0).I32(0).Raw(), "more than the body"},
        MalformedCase{"ends inside a slot", BodyBuilder().I32(0).I32(0).I32(1).I32(0).Raw(), "slot count 1"},
        MalformedCase{"effect count beyond the body",
                      BodyBuilder().I32(0).I32(0).I32(1).I32(0).I32(0x10000000).I32(0).I32(0).Raw(),
                      "effect count"},
        MalformedCase{"negative effect count", BodyBuilder().I32(0).I32(0).I32(1).I32(0).I32(-1).Raw(),
                      "effect count"},
        MalformedCase{"parameter count beyond the body",
                      BodyBuilder().I32(0).I32(0).I32(1).I32(0).I32(1).I32(3).I32(0x3fffffff).F32(1).Raw(),
                      "parameter count"},
        MalformedCase{"ends inside parameters",
                      BodyBuilder().I32(0).I32(0).I32(1).I32(0).I32(1).I32(3).I32(2).F32(1).Raw(),
                      "parameter count"},
        MalformedCase{
            "name length above 255",
            BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).I32(1).I32(256).Text(std::string(300, 'a')).Raw(),
            "outside 0..255"},
        MalformedCase{
            "negative name length",
            BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).I32(1).I32(-2).Text(std::string(30, 'a')).Raw(),
            "outside 0..255"},
        MalformedCase{
            "name past the end",
            BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).I32(1).I32(40).Text(std::string(30, 'a')).Raw(),
            "channel name"},
        MalformedCase{"ends inside a placement", BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).I32(1).Raw(),
                      "placement 1"},
        MalformedCase{"ends inside a rectangle",
                      BodyBuilder().I32(0).I32(0).I32(0).Byte(0x43).I32(1).I32(0).F32(1).F32(2).F32(3).Raw(),
                      "placement 1"},
        MalformedCase{"more slots than a template shows", ManySlots(kMaxTemplateSlots + 1),
                      "more than a template can show (at most 256)"},
        MalformedCase{"20000 slots", ManySlots(20000), "slot count 20000 is more than a template can show"},
        MalformedCase{"more placements than a template shows", ManyPlacements(kMaxTemplatePlacements + 1),
                      "more than 1024 placements, more than a template can show"}));

TEST(ParseDescriptorBody, AsManySlotsAndPlacementsAsATemplateShowsAreRead) {
  auto slots = ParseDescriptorBody(ManySlots(kMaxTemplateSlots), 0);
  ASSERT_TRUE(slots.ok()) << slots.message();
  EXPECT_EQ((*slots)->Slots.size(), 256u);
  auto placements = ParseDescriptorBody(ManyPlacements(kMaxTemplatePlacements), 0);
  ASSERT_TRUE(placements.ok()) << placements.message();
  EXPECT_EQ((*placements)->Placements.size(), 1024u);
}

// Placements in a scattered slot order, far more than the default limit:
// sorted by slot number, file order kept within a slot.
TEST(ParseDescriptorBody, ManyPlacementsAreSortedStably) {
  constexpr int kCount = 160000, kSlots = 200;
  BodyBuilder b;
  b.I32(0).I32(0).I32(kSlots);
  for (int i = 0; i < kSlots; ++i) b.I32(1).I32(0);
  auto slotOf = [](int i) { return 1 + (i * 7919 + i / 3) % kSlots; };
  for (int i = 0; i < kCount; ++i) b.Placement(slotOf(i), std::to_string(i), 0, 0, 1, 1);
  TDescriptorLimits limits;
  limits.MaxPlacements = kCount;
  auto t = ParseDescriptorBody(b.Padded(), 0, limits);
  ASSERT_TRUE(t.ok()) << t.message();
  const auto& placements = (*t)->Placements;
  ASSERT_EQ(placements.size(), size_t(kCount));
  std::vector<int> lastIndexOfSlot(kSlots + 1, -1);
  for (size_t k = 0; k < placements.size(); ++k) {
    const TPlacement& p = *placements[k];
    if (k > 0) {
      ASSERT_LE(placements[k - 1]->SlotNumber, p.SlotNumber) << k;
    }
    const int index = std::stoi(p.ChannelName);
    ASSERT_EQ(slotOf(index), p.SlotNumber);
    ASSERT_GT(index, lastIndexOfSlot[p.SlotNumber]) << "file order within slot " << p.SlotNumber;
    lastIndexOfSlot[p.SlotNumber] = index;
  }
  limits.MaxPlacements = kCount - 1;
  EXPECT_FALSE(ParseDescriptorBody(b.Padded(), 0, limits).ok());
}

TEST(ParseDescriptorBody, EveryTruncationOfAValidBodyFailsOrStopsCleanly) {
  BodyBuilder b;
  b.I32(9).I32(0).I32(1).I32(1).I32(1).I32(2).I32(2).F32(1).F32(2).Placement(1, "name", 1, 2, 3, 4);
  const std::vector<uint8_t> full = b.Raw();
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + n);
    auto t = ParseDescriptorBody(cut, 0);
    // Cut inside the slots: a failed read. Cut right after them (one byte of
    // the placement left): no placement.
    const bool stopsCleanly = n == 36 || n == 37;
    EXPECT_EQ(t.ok(), stopsCleanly) << n;
    if (stopsCleanly && t.ok()) {
      EXPECT_TRUE((*t)->Placements.empty()) << n;
    }
  }
}

// The encoder writes the body exactly as written here by hand (placements
// in slot order, the cipher library's fill), enciphered whole under the
// template key after one marker byte; the reader reads back what it wrote.
TEST(Descriptor, EncoderWritesTheHandWrittenBodyEnciphered) {
  BodyBuilder b;
  b.I32(-77).I32(1).I32(3);
  b.I32(0).I32(1).I32(2).I32(2).F32(0.5f).F32(0);  // slot 1: effect 2 with two parameters
  b.I32(1).I32(0);                                 // slot 2: no effects
  b.I32(1).I32(1).I32(9).I32(0);                   // slot 3: effect 9 without parameters
  b.Placement(1, "a", 10, 20, 30, 40).Placement(1, "b", 0, 0, 2100, 3000).Placement(3, "照片", 1, 2, 3, 4);
  const std::vector<uint8_t> body = b.Padded();
  ASSERT_NE(b.Raw().size(), body.size()) << "the case must exercise the fill";
  auto parsed = ParseDescriptorBody(body, 2);
  ASSERT_TRUE(parsed.ok()) << parsed.message();

  auto file = EncodeDescriptor(**parsed);
  ASSERT_TRUE(file.ok()) << file.message();
  ASSERT_EQ(file->size(), 1 + body.size());
  EXPECT_EQ((*file)[0], kDescriptorMarker);
  std::vector<uint8_t> deciphered(body.size());
  const int32_t decipher = 0;  // the crypt library deciphers with mode 0
  ASSERT_EQ(
      TDES(kTemplateKey, decipher, deciphered.data(), file->data() + 1, static_cast<uint32_t>(body.size())),
      0);
  EXPECT_EQ(deciphered, body);

  auto back = DecodeDescriptor(*file, 2);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_EQ((*back)->HeaderValue, -77);
  ASSERT_EQ((*back)->Slots.size(), 3u);
  EXPECT_EQ((*back)->Slots[2]->TempIndex, 2);
  EXPECT_EQ(Order(**back), (std::vector<std::string>{"1:a", "1:b", "3:照片"}));
}

TEST(Descriptor, BodyNotAMultipleOfEightIsAFailedRead) {
  auto file = EncodeDescriptor(*testing::TemplateFromSpec(PackageSpec{}));
  ASSERT_TRUE(file.ok());
  file->pop_back();
  auto t = DecodeDescriptor(*file, 0);
  ASSERT_FALSE(t.ok());
  EXPECT_NE(t.message().find("multiple of 8"), std::string::npos);
  EXPECT_FALSE(DecodeDescriptor(std::vector<uint8_t>{}, 0).ok());
}

TEST(ReadDescriptor, SetsTheFolderAndFailsForMissingFiles) {
  test::TempFolder dir;
  testing::WritePackage(dir / "婚纱01", testing::SlotsSpec({1}));
  auto t = ReadDescriptor(dir / "婚纱01/brivanto_a.dll", 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Folder, dir / "婚纱01/");
  EXPECT_EQ(ReadDescriptor(dir / "none/brivanto_a.dll", 0), nullptr);
  auto err = ReadDescriptorFile(dir / "none/brivanto_a.dll", 0);
  ASSERT_FALSE(err.ok());
  EXPECT_NE(err.message().find("none/brivanto_a.dll"), std::string::npos) << "the message names the file";
}

// A package enciphered by OpenSSL from descriptor bytes written here by hand:
// the reader must agree with an independent implementation of the format.
// Runs the openssl command with the descriptor key (triple DES, ECB, no
// padding) on `in`, `direction` "-e" to encipher or "-d" to decipher, and
// reads the `size` bytes it writes to `out`.
void OpenSslDescriptorCipher(const std::string& direction, const std::string& in, const std::string& out,
                             size_t size, std::vector<uint8_t>& bytes) {
  const std::string command = "openssl enc " + direction +
                              " -des-ede-ecb -K 7E19C452A80D36F15B92E704CD683A9F -nopad -in '" + in +
                              "' -out '" + out + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  auto read = ReadWholeFile(out);
  ASSERT_TRUE(read.ok());
  ASSERT_EQ(read->size(), size);
  bytes = std::move(read).value();
}

TEST(ReadDescriptor, ReadsAPackageBuiltWithOpenSsl) {
  if (std::system("command -v openssl >/dev/null 2>&1") != 0) GTEST_SKIP() << "openssl is missing";
  test::TempFolder dir;
  const uint8_t body[] = {
      0x2A, 0x00, 0x00, 0x00,                                // header value 42
      0x01, 0x00, 0x00, 0x00,                                // spread 1
      0x02, 0x00, 0x00, 0x00,                                // two slots
      0x01, 0x00, 0x00, 0x00,                                // slot 1: opaque
      0x01, 0x00, 0x00, 0x00,                                //   one effect
      0x07, 0x00, 0x00, 0x00,                                //   kind 7
      0x01, 0x00, 0x00, 0x00,                                //   one parameter
      0x00, 0x00, 0xC0, 0x3F,                                //   1.5f
      0x00, 0x00, 0x00, 0x00,                                // slot 2: transparent
      0x00, 0x00, 0x00, 0x00,                                //   no effects
      0x43,                                                  // placement: slot 2, "B", (100, 200, 300, 400)
      0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x42,  //
      0x00, 0x00, 0xC8, 0x42, 0x00, 0x00, 0x48, 0x43, 0x00, 0x00, 0x96, 0x43, 0x00, 0x00, 0xC8, 0x43,
      0x43,  // placement: slot 1, "A1", (0, 0, 4200, 3000)
      0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x41, 0x31,  //
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x83, 0x45, 0x00, 0x80, 0x3B, 0x45,
      0x80, 0x00, 0x00,  // fill to 96 bytes
  };
  static_assert(sizeof body % 8 == 0);
  const std::string plain = dir / "body.bin", cipher = dir / "body.enc";
  ASSERT_TRUE(WriteFileAtomic(plain, body, sizeof body).ok());
  std::vector<uint8_t> enciphered;
  ASSERT_NO_FATAL_FAILURE(OpenSslDescriptorCipher("-e", plain, cipher, sizeof body, enciphered));
  std::vector<uint8_t> file{0x5A};  // any marker byte
  file.insert(file.end(), enciphered.begin(), enciphered.end());
  MakeDirectories(dir / "pkg");
  ASSERT_TRUE(WriteFileAtomic(dir / "pkg/brivanto_a.dll", file).ok());

  auto t = ReadDescriptor(dir / "pkg/brivanto_a.dll", 3);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->HeaderValue, 42);
  EXPECT_EQ(t->Spread, 1);
  ASSERT_EQ(t->Slots.size(), 2u);
  EXPECT_EQ(t->Slots[0]->PhotoType, 1);
  ASSERT_EQ(t->Slots[0]->Effects.size(), 1u);
  EXPECT_EQ(t->Slots[0]->Effects[0]->Kind, 7);
  EXPECT_EQ(t->Slots[0]->Effects[0]->Params, std::vector<float>{1.5f});
  EXPECT_EQ(t->Slots[1]->PhotoType, 0);
  EXPECT_EQ(t->Slots[1]->TempIndex, 3);
  ASSERT_EQ(t->Placements.size(), 2u);
  EXPECT_EQ(t->Placements[0]->SlotNumber, 1);
  EXPECT_EQ(t->Placements[0]->ChannelName, "A1");
  EXPECT_EQ(t->Placements[0]->Rect.Right, 4200.0f);
  EXPECT_EQ(t->Placements[0]->Rect.Bottom, 3000.0f);
  EXPECT_EQ(t->Placements[1]->ChannelName, "B");
  EXPECT_EQ(t->Placements[1]->Rect.Left, 100.0f);
  EXPECT_EQ(t->Placements[1]->Rect.Bottom, 400.0f);

  // What our encoder writes for it, OpenSSL deciphers to the same body up to
  // the order of the placements (written sorted).
  auto encoded = EncodeDescriptor(*t);
  ASSERT_TRUE(encoded.ok());
  ASSERT_TRUE(WriteFileAtomic(cipher, encoded->data() + 1, encoded->size() - 1).ok());
  std::vector<uint8_t> deciphered;
  ASSERT_NO_FATAL_FAILURE(OpenSslDescriptorCipher("-d", cipher, plain, sizeof body, deciphered));
  EXPECT_TRUE(std::equal(body, body + 40, deciphered.begin())) << "header and slots";
  EXPECT_TRUE(std::equal(body + 66, body + 93, deciphered.begin() + 40)) << "slot 1's placement first";
  EXPECT_TRUE(std::equal(body + 40, body + 66, deciphered.begin() + 67)) << "then slot 2's";
}

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

TEST(TemplateImage, OnlyTheFirst480BytesAreEnciphered) {
  test::TempFolder dir;
  const std::vector<uint8_t> plain = Pattern(100000);
  ASSERT_TRUE(WriteFileAtomic(dir / "plain.jpg", plain).ok());
  ASSERT_TRUE(EncipherTemplateImage(dir / "plain.jpg", dir / "brivanto_b.jpg").ok());
  auto enc = ReadWholeFile(dir / "brivanto_b.jpg");
  ASSERT_TRUE(enc.ok());
  ASSERT_EQ(enc->size(), plain.size());
  EXPECT_NE(std::vector<uint8_t>(enc->begin(), enc->begin() + 480),
            std::vector<uint8_t>(plain.begin(), plain.begin() + 480));
  EXPECT_TRUE(std::equal(enc->begin() + 480, enc->end(), plain.begin() + 480)) << "the rest stays plain";
  ASSERT_TRUE(DecipherTemplateImage(dir / "brivanto_b.jpg", dir / "tmp.jpg").ok());
  EXPECT_EQ(*ReadWholeFile(dir / "tmp.jpg"), plain);
}

TEST(TemplateImage, ShortFilesAreEncipheredWhole) {
  for (size_t n : {480u, 96u, 8u}) {
    const std::vector<uint8_t> plain = Pattern(n);
    std::vector<uint8_t> bytes = plain;
    ASSERT_TRUE(EncipherImageHead(bytes).ok());
    EXPECT_EQ(bytes.size(), n);
    for (size_t block = 0; block < n; block += 8)
      EXPECT_NE(std::vector<uint8_t>(bytes.begin() + block, bytes.begin() + block + 8),
                std::vector<uint8_t>(plain.begin() + block, plain.begin() + block + 8))
          << "block at " << block << " of " << n;
    ASSERT_TRUE(DecipherImageHead(bytes).ok());
    EXPECT_EQ(bytes, plain);
  }
  std::vector<uint8_t> odd = Pattern(13);
  ASSERT_TRUE(EncipherImageHead(odd).ok());
  EXPECT_EQ(odd.size(), 16u) << "padded to whole blocks";
  ASSERT_TRUE(DecipherImageHead(odd).ok());
  EXPECT_EQ(std::vector<uint8_t>(odd.begin(), odd.begin() + 13), Pattern(13));
}

TEST(TemplateImage, ShortFileNotAMultipleOfEightFailsAndWritesNothing) {
  test::TempFolder dir;
  ASSERT_TRUE(WriteFileAtomic(dir / "a.jpg", Pattern(100)).ok());
  Status s = DecipherTemplateImage(dir / "a.jpg", dir / "tmp.jpg");
  EXPECT_FALSE(s.ok());
  EXPECT_FALSE(std::filesystem::exists(dir / "tmp.jpg"));
  EXPECT_FALSE(DecipherTemplateImage(dir / "missing.jpg", dir / "tmp.jpg").ok());
}

TEST(ComposingFolder, IsOneFolderInsideTheWorkingFolder) {
  TTempNode t;
  t.Folder = "/模板/婚纱01/";
  t.ImportStamp = "2009_03_07_14_05_09";
  EXPECT_EQ(ComposingFolderName(t), "婚纱01_2009_03_07_14_05_09");
  EXPECT_EQ(PreviewFolder("/tmp/Brivanto-u/", t), "/tmp/Brivanto-u/婚纱01_2009_03_07_14_05_09/");
  t.ImportStamp = "../../home/u";  // from a hostile set file
  EXPECT_EQ(PreviewFolder("/tmp/Brivanto-u/", t), "/tmp/Brivanto-u/婚纱01_.._.._home_u/");
}

}  // namespace
}  // namespace tessaro
