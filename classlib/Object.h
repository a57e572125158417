// The root of the class library's objects, and components: objects with an owner and a name,
// freed with their owner.
#pragma once

#include <string>
#include <vector>

namespace classlib {

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
};

class TComponent : public TObject {
 public:
  // Joins Owner's components (when Owner is not null), to be freed with it.
  explicit TComponent(TComponent* Owner);
  // Frees the owned components, the last inserted first, then leaves the owner's list.
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Component(int index) const { return components_.at(index); }
  // The owned component with this name, or null.
  TComponent* FindComponent(const std::string& name) const;

 private:
  TComponent* owner_;
  std::string name_;
  std::vector<TComponent*> components_;
};

}  // namespace classlib
