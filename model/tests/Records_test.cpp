#include "model/Records.h"

#include <gtest/gtest.h>

#include <functional>

#include "model/Photos.h"

namespace tessaro {
namespace {

// A set with two templates (3 and 2 slots) and two photos; photo 0 fills
// slot 0 of template 0 and slot 1 of template 1, photo 1 fills slot 2 of
// template 0.
std::unique_ptr<TSetNode> ValidSet() {
  auto set = std::make_unique<TSetNode>();
  for (int t = 0; t < 2; ++t) {
    for (auto* list : {&set->PreviewTemps, &set->ResultTemps}) {
      auto temp = std::make_unique<TTempNode>();
      for (int s = 0; s < 3 - t; ++s) {
        auto slot = std::make_unique<TSlotNode>();
        slot->TempIndex = t;
        temp->Slots.push_back(std::move(slot));
      }
      list->push_back(std::move(temp));
    }
  }
  for (int p = 0; p < 2; ++p) set->Photos.push_back(std::make_unique<TPhotoInfoNode>());
  auto place = [&](int t, int s, int p) {
    AssignPhotoToSlot(set.get(), set->PreviewTemps[t]->Slots[s].get(), p, TPhotoRows{});
  };
  place(0, 0, 0);
  place(1, 1, 0);
  place(0, 2, 1);
  return set;
}

struct BreakCase {
  const char* name;
  std::function<void(TSetNode&)> breakIt;
  const char* expected;  // part of the message
};

class CheckInvariantsTest : public ::testing::TestWithParam<BreakCase> {};

TEST(CheckInvariants, AcceptsAValidSet) {
  auto set = ValidSet();
  EXPECT_EQ(CheckInvariants(*set), "");
  EXPECT_EQ(set->PreviewTemps[0]->PlacedCount, 2);
  EXPECT_EQ(set->Photos[0]->UsedBy.size(), 2u);
}

TEST_P(CheckInvariantsTest, ReportsTheBrokenInvariant) {
  auto set = ValidSet();
  GetParam().breakIt(*set);
  const std::string message = CheckInvariants(*set);
  EXPECT_NE(message.find(GetParam().expected), std::string::npos) << GetParam().name << ": " << message;
}

INSTANTIATE_TEST_SUITE_P(
    Breaks, CheckInvariantsTest,
    ::testing::Values(
        BreakCase{"lists of different length", [](TSetNode& s) { s.ResultTemps.pop_back(); }, "ResultTemps"},
        BreakCase{"wrong TempIndex", [](TSetNode& s) { s.PreviewTemps[1]->Slots[0]->TempIndex = 0; },
                  "TempIndex"},
        BreakCase{"PlacedCount off", [](TSetNode& s) { s.PreviewTemps[0]->PlacedCount = 1; }, "PlacedCount"},
        BreakCase{"photo index past the photos",
                  [](TSetNode& s) {
                    s.PreviewTemps[1]->Slots[0]->PhotoIndex = 2;
                    s.PreviewTemps[1]->PlacedCount = 2;
                  },
                  "outside"},
        BreakCase{"slot missing from UsedBy", [](TSetNode& s) { s.Photos[1]->UsedBy.clear(); }, "UsedBy"},
        BreakCase{"slot twice in UsedBy",
                  [](TSetNode& s) { s.Photos[1]->UsedBy.push_back(s.Photos[1]->UsedBy[0]); }, "UsedBy"},
        BreakCase{"UsedBy names an empty slot",
                  [](TSetNode& s) { s.Photos[1]->UsedBy.push_back(s.PreviewTemps[1]->Slots[0].get()); },
                  "does not hold it"},
        BreakCase{"UsedBy names a result slot",
                  [](TSetNode& s) {
                    TSlotNode* r = s.ResultTemps[0]->Slots[0].get();
                    r->PhotoIndex = 1;
                    s.Photos[1]->UsedBy.push_back(r);
                  },
                  "not in PreviewTemps"},
        BreakCase{"placements out of order",
                  [](TSetNode& s) {
                    for (int n : {2, 1}) {
                      auto p = std::make_unique<TPlacement>();
                      p->SlotNumber = n;
                      s.PreviewTemps[0]->Placements.push_back(std::move(p));
                    }
                  },
                  "sorted"},
        BreakCase{"null photo", [](TSetNode& s) { s.Photos.push_back(nullptr); }, "null"}));

TEST(CheckInvariants, ChecksTheSelection) {
  TSetList sets;
  sets.push_back(ValidSet());
  EXPECT_EQ(CheckInvariants(sets, 0, 1, 1), "");
  EXPECT_EQ(CheckInvariants(sets, -1, -1, -1), "");
  EXPECT_NE(CheckInvariants(sets, 1, -1, -1), "");
  EXPECT_NE(CheckInvariants(sets, -1, 0, -1), "") << "a template without a set";
  EXPECT_NE(CheckInvariants(sets, 0, 2, -1), "");
  EXPECT_NE(CheckInvariants(sets, 0, 1, 2), "") << "template 1 has two slots";
  EXPECT_NE(CheckInvariants(sets, 0, -1, 0), "") << "a slot without a template";
}

TEST(CheckInvariants, SlotsBeyondTheTenthAreNotSelectable) {
  TSetList sets;
  sets.push_back(std::make_unique<TSetNode>());
  for (auto* list : {&sets[0]->PreviewTemps, &sets[0]->ResultTemps}) {
    auto temp = std::make_unique<TTempNode>();
    for (int i = 0; i < 12; ++i) {
      temp->Slots.push_back(std::make_unique<TSlotNode>());
      temp->Slots.back()->TempIndex = 0;
    }
    list->push_back(std::move(temp));
  }
  EXPECT_EQ(CheckInvariants(sets, 0, 0, 9), "");
  EXPECT_NE(CheckInvariants(sets, 0, 0, 10), "");
}

TEST(Release, RemovesOnlyValidEntries) {
  TSetList sets;
  sets.push_back(std::make_unique<TSetNode>());  // empty lists: only the lists and the record go
  sets.push_back(ValidSet());
  sets[1]->FileName = "b";
  EXPECT_FALSE(ReleaseSet(sets, 2));
  EXPECT_FALSE(ReleaseSet(sets, -1));
  EXPECT_TRUE(ReleaseSet(sets, 0));
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0]->FileName, "b");
  ReleaseAllSets(sets);
  EXPECT_TRUE(sets.empty());
}

TEST(Release, TemplateGoesFromBothLists) {
  auto set = ValidSet();
  set->PreviewTemps[1]->Folder = "second";
  ASSERT_TRUE(ReleaseTemplateAt(*set, 0));
  ASSERT_EQ(set->PreviewTemps.size(), 1u);
  EXPECT_EQ(set->ResultTemps.size(), 1u);
  EXPECT_EQ(set->PreviewTemps[0]->Folder, "second");
  EXPECT_FALSE(ReleaseTemplateAt(*set, 5));
}

TEST(InsertPlacement, SortsBySlotNumberKeepingFileOrder) {
  TTempNode temp;
  const int numbers[] = {3, 1, 2, 1};
  for (int i = 0; i < 4; ++i) {
    auto p = std::make_unique<TPlacement>();
    p->SlotNumber = numbers[i];
    p->ChannelName = "c" + std::to_string(i);
    InsertPlacement(temp, std::move(p));
  }
  std::vector<std::string> order;
  for (const auto& p : temp.Placements) order.push_back(std::to_string(p->SlotNumber) + p->ChannelName);
  EXPECT_EQ(order, (std::vector<std::string>{"1c1", "1c3", "2c2", "3c0"}));
  EXPECT_EQ(temp.FirstPlacementOf(0)->ChannelName, "c1");
  EXPECT_EQ(temp.FirstPlacementOf(5), nullptr);
}

TEST(SlotNode, EmptyTransformIsNotFitted) {
  TSlotNode slot;
  EXPECT_EQ(slot.OffsetX, -1.0f) << "a slot read from a descriptor starts at -1";
  slot.ScaleX = 2;
  slot.Angle = 90;
  slot.FlipV = true;
  slot.SetEmptyTransform();
  EXPECT_EQ(slot.OffsetX, 0.0f);
  EXPECT_EQ(slot.OffsetY, 0.0f);
  EXPECT_EQ(slot.Angle, 0.0f);
  EXPECT_FALSE(slot.FlipV);
  EXPECT_FALSE(slot.IsFitted());
  slot.ScaleX = slot.ScaleY = 1;
  EXPECT_TRUE(slot.IsFitted());
}

}  // namespace
}  // namespace tessaro
