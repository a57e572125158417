#include <gtest/gtest.h>

#include "classlib/Object.h"

namespace {

using classlib::TComponent;

struct Tracked : TComponent {
  Tracked(TComponent* owner, std::vector<std::string>& log, std::string name)
      : TComponent(owner), log_(log) {
    SetName(std::move(name));
  }
  ~Tracked() override { log_.push_back(Name()); }
  std::vector<std::string>& log_;
};

TEST(Component, OwnedComponentsAreFreedWithTheOwnerLastFirst) {
  std::vector<std::string> freed;
  auto* owner = new Tracked(nullptr, freed, "owner");
  new Tracked(owner, freed, "a");
  auto* b = new Tracked(owner, freed, "b");
  new Tracked(b, freed, "b1");
  EXPECT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->FindComponent("b"), b);
  EXPECT_EQ(owner->FindComponent("b1"), nullptr);
  delete owner;
  EXPECT_EQ(freed, (std::vector<std::string>{"owner", "b", "b1", "a"}));
}

TEST(Component, FreeingAComponentLeavesItsOwnersList) {
  std::vector<std::string> freed;
  Tracked owner(nullptr, freed, "owner");
  delete new Tracked(&owner, freed, "gone");
  EXPECT_EQ(owner.ComponentCount(), 0);
}

}  // namespace
