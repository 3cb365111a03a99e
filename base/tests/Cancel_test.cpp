// The cancel token and the cancelled state of Status and Result.
#include "base/Cancel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace tessaro {
namespace {

TEST(CancelTokenTest, FollowsItsFlag) {
  std::atomic<bool> flag{false};
  const CancelToken token(&flag);
  const CancelToken copy = token;
  EXPECT_FALSE(token.Requested());
  EXPECT_TRUE(token.Check().ok());
  flag = true;  // raised after the copy was made: every view sees it
  for (const CancelToken& t : {token, copy}) {
    EXPECT_TRUE(t.Requested());
    Status s = t.Check();
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(s.cancelled());
    EXPECT_EQ(s.message(), "cancelled");
  }
  flag = false;
  EXPECT_TRUE(copy.Check().ok()) << "a lowered flag lets work go on";
}

TEST(CancelTokenTest, AnEmptyTokenIsNeverCancelled) {
  for (const CancelToken& t : {CancelToken(), CancelToken(nullptr)}) {
    EXPECT_FALSE(t.Requested());
    EXPECT_TRUE(t.Check().ok());
    EXPECT_EQ(t.Flag(), nullptr);
  }
}

TEST(CancelledStatusTest, IsAStateNotAMessage) {
  struct Case {
    const char* what;
    Status status;
    bool ok, cancelled;
  };
  const Case cases[] = {
      {"ok", Status::Ok(), true, false},
      {"cancelled", Status::Cancelled(), false, true},
      {"an error that reads cancelled", Status::Error("cancelled"), false, false},
      {"another error", Status::Error("file too large"), false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status.ok(), c.ok) << c.what;
    EXPECT_EQ(c.status.cancelled(), c.cancelled) << c.what;
  }
  // A Result keeps the state, and so does a copied Status.
  Result<std::string> r = Status::Cancelled();
  EXPECT_TRUE(r.cancelled());
  EXPECT_EQ(r.message(), "cancelled");
  Status copy = r.status();
  EXPECT_TRUE(copy.cancelled());
  EXPECT_FALSE(Result<std::string>(std::string("done")).cancelled());
}

}  // namespace
}  // namespace tessaro
