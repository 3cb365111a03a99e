#include "model/Photos.h"

#include <gtest/gtest.h>

#include "Fakes.h"

namespace tessaro {
namespace {

using testing::FakeRowList;

struct TypeCase {
  const char* extension;
  int type;
};

class ClassifyPhotoFileTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ClassifyPhotoFileTest, DecidesByExtensionCaseSensitively) {
  EXPECT_EQ(ClassifyPhotoFile(GetParam().extension), GetParam().type) << GetParam().extension;
}

INSTANTIATE_TEST_SUITE_P(Extensions, ClassifyPhotoFileTest,
                         ::testing::Values(TypeCase{".psd", 0}, TypeCase{".pdd", 0}, TypeCase{".png", 0},
                                           TypeCase{".tga", 0}, TypeCase{".jpg", 1}, TypeCase{".jpeg", 1},
                                           TypeCase{".bmp", 1}, TypeCase{".gif", 1}, TypeCase{".jpe", 1},
                                           TypeCase{".tif", 1}, TypeCase{".tiff", 1}, TypeCase{".JPG", 2},
                                           TypeCase{".Png", 2}, TypeCase{".webp", 2}, TypeCase{"", 2},
                                           TypeCase{".cys", 2}));

// A set of one template with four slots (types 0, 1, 1, 0) and three photos,
// with rows in all three lists.
class PhotoBookkeepingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto* list : {&FSet.PreviewTemps, &FSet.ResultTemps}) {
      auto temp = std::make_unique<TTempNode>();
      for (int type : {0, 1, 1, 0}) {
        temp->Slots.push_back(std::make_unique<TSlotNode>());
        temp->Slots.back()->TempIndex = 0;
        temp->Slots.back()->PhotoType = type;
      }
      list->push_back(std::move(temp));
    }
    FTemps.AddRow({"1", "t", "0/4", "删除"}, "s", false);
    for (int i = 0; i < 3; ++i) {
      FSet.Photos.push_back(std::make_unique<TPhotoInfoNode>());
      FSet.Photos.back()->FileName = "/p/" + std::to_string(i) + ".jpg";
      FPhotos.AddRow({std::to_string(i + 1), "n", "0", "删除"}, "t", false);
      FStats.AddRow({std::to_string(i + 1), "n", "0", "放置", "删除"}, "", false);
    }
  }
  TSlotNode* Slot(int i) { return FSet.PreviewTemps[0]->Slots[i].get(); }
  TPhotoRows Rows() { return TPhotoRows{&FTemps, &FPhotos, &FStats}; }
  // The set is consistent and its four-slot template holds `placed` photos,
  // as its row says ("2/4").
  void ExpectPlaced(int placed) {
    EXPECT_EQ(CheckInvariants(FSet), "");
    EXPECT_EQ(FSet.PreviewTemps[0]->PlacedCount, placed);
    EXPECT_EQ(FTemps.GetCellText(0, 2), std::to_string(placed) + "/4");
  }

  TSetNode FSet;
  FakeRowList FTemps{4}, FPhotos{4}, FStats{5};
};

TEST_F(PhotoBookkeepingTest, FindPhotoComparesExactly) {
  EXPECT_EQ(FindPhoto(&FSet, "/p/1.jpg"), 1);
  EXPECT_EQ(FindPhoto(&FSet, "/p/1.JPG"), -1);
  EXPECT_EQ(FindPhoto(nullptr, "/p/1.jpg"), -1);
}

TEST_F(PhotoBookkeepingTest, AssigningCountsSlotsAndUsage) {
  AssignPhotoToSlot(&FSet, Slot(1), 2, Rows());
  AssignPhotoToSlot(&FSet, Slot(2), 2, Rows());
  ExpectPlaced(2);
  EXPECT_EQ(FPhotos.GetCellText(2, 2), "2");
  EXPECT_EQ(FStats.GetCellText(2, 2), "2");
}

TEST_F(PhotoBookkeepingTest, ReplacingKeepsThePlacedCount) {
  AssignPhotoToSlot(&FSet, Slot(1), 0, Rows());
  AssignPhotoToSlot(&FSet, Slot(1), 1, Rows());
  ExpectPlaced(1);
  EXPECT_EQ(FPhotos.GetCellText(0, 2), "0");
  EXPECT_EQ(FStats.GetCellText(1, 2), "1");
  AssignPhotoToSlot(&FSet, Slot(1), 1, Rows());  // the same photo again
  EXPECT_EQ(CheckInvariants(FSet), "");
  EXPECT_EQ(FSet.Photos[1]->UsedBy.size(), 1u);
  EXPECT_EQ(FSet.PreviewTemps[0]->PlacedCount, 1);
}

TEST_F(PhotoBookkeepingTest, AssigningNothingValidChangesNothing) {
  AssignPhotoToSlot(&FSet, Slot(0), 3, Rows());
  AssignPhotoToSlot(&FSet, Slot(0), -1, Rows());
  AssignPhotoToSlot(nullptr, Slot(0), 0, Rows());
  AssignPhotoToSlot(&FSet, nullptr, 0, Rows());
  EXPECT_EQ(Slot(0)->PhotoIndex, -1);
  EXPECT_EQ(FSet.PreviewTemps[0]->PlacedCount, 0);
}

TEST_F(PhotoBookkeepingTest, UnlinkLeavesThePlacedCount) {
  AssignPhotoToSlot(&FSet, Slot(3), 0, Rows());
  UnlinkSlotPhoto(FSet, *Slot(3), Rows());
  EXPECT_EQ(Slot(3)->PhotoIndex, -1);
  EXPECT_TRUE(FSet.Photos[0]->UsedBy.empty());
  EXPECT_EQ(FPhotos.GetCellText(0, 2), "0");
  EXPECT_EQ(FSet.PreviewTemps[0]->PlacedCount, 1) << "the caller fixes the count";
}

TEST_F(PhotoBookkeepingTest, RemovingAPhotoEmptiesItsSlotsAndShiftsLaterOnes) {
  AssignPhotoToSlot(&FSet, Slot(0), 0, Rows());
  AssignPhotoToSlot(&FSet, Slot(1), 1, Rows());
  AssignPhotoToSlot(&FSet, Slot(2), 2, Rows());
  AssignPhotoToSlot(&FSet, Slot(3), 1, Rows());
  Slot(1)->ScaleX = Slot(1)->ScaleY = 2;
  Slot(1)->Angle = 45;
  RemovePhoto(FSet, 1, Rows());
  ExpectPlaced(2);
  EXPECT_EQ(FSet.Photos.size(), 2u);
  EXPECT_EQ(Slot(0)->PhotoIndex, 0);
  EXPECT_EQ(Slot(1)->PhotoIndex, -1);
  EXPECT_EQ(Slot(1)->Angle, 0.0f);
  EXPECT_EQ(Slot(1)->ScaleX, -1.0f);
  EXPECT_EQ(Slot(1)->OffsetX, 0.0f);
  EXPECT_EQ(Slot(2)->PhotoIndex, 1);
}

TEST_F(PhotoBookkeepingTest, RefreshRewritesTheCountColumns) {
  Slot(0)->PhotoIndex = 2;
  FSet.Photos[2]->UsedBy.push_back(Slot(0));
  FSet.PreviewTemps[0]->PlacedCount = 1;
  RefreshPlacedCounts(FSet, FTemps);
  RefreshUsageCounts(FSet, FPhotos, FStats);
  EXPECT_EQ(FTemps.Column(2), std::vector<std::string>{"1/4"});
  EXPECT_EQ(FPhotos.Column(2), (std::vector<std::string>{"0", "0", "1"}));
  EXPECT_EQ(FStats.Column(2), (std::vector<std::string>{"0", "0", "1"}));
}

}  // namespace
}  // namespace tessaro
