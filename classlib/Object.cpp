#include "classlib/Object.h"

#include <algorithm>

namespace classlib {

TComponent::TComponent(TComponent* Owner) : owner_(Owner) {
  if (owner_ != nullptr) {
    owner_->components_.push_back(this);
  }
}

TComponent::~TComponent() {
  while (!components_.empty()) {
    delete components_.back();  // its destructor removes it from components_
  }
  if (owner_ != nullptr) {
    auto& list = owner_->components_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* component : components_) {
    if (component->Name() == name) {
      return component;
    }
  }
  return nullptr;
}

}  // namespace classlib
