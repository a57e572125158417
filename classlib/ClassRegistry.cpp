#include "classlib/ClassRegistry.h"

namespace classlib {

const std::any* TReadContext::FindHandler(const TValue& Value) const {
  const std::string& name = AsIdent(Value);
  const std::any* handler = form_.FindHandler(name);
  if (handler == nullptr) {
    throw Exception("the form has no handler " + name);
  }
  return handler;
}

int AsInteger(const TValue& Value) {
  if (Value.Kind != TValue::Integer) {
    throw Exception("an integer is expected");
  }
  if (Value.Int < INT32_MIN || Value.Int > INT32_MAX) {
    throw Exception("the integer is out of range");
  }
  return static_cast<int>(Value.Int);
}

const std::string& AsString(const TValue& Value) {
  if (Value.Kind != TValue::String) {
    throw Exception("a quoted string is expected");
  }
  return Value.Text;
}

const std::string& AsIdent(const TValue& Value) {
  if (Value.Kind != TValue::Ident) {
    throw Exception("an identifier is expected");
  }
  return Value.Text;
}

bool AsBoolean(const TValue& Value) {
  return AsEnum<bool>(Value, {{"True", true}, {"False", false}});
}

const std::vector<std::string>& AsList(const TValue& Value) {
  if (Value.Kind != TValue::List) {
    throw Exception("a list ( ... ) is expected");
  }
  return Value.Items;
}

const std::vector<std::string>& AsSet(const TValue& Value) {
  if (Value.Kind != TValue::Set) {
    throw Exception("a set [ ... ] is expected");
  }
  return Value.Items;
}

const TPropertySetter* TClassInfo::FindProperty(const std::string& Name) const {
  for (const TClassInfo* info = this; info != nullptr; info = info->parent_) {
    auto found = info->properties_.find(Name);
    if (found != info->properties_.end()) {
      return &found->second;
    }
  }
  return nullptr;
}

TClassInfo& TClassRegistry::Register(const std::string& Name, const std::string& Parent,
                                     TFactory Create) {
  if (classes_.count(Name) != 0) {
    throw Exception("Class " + Name + " is registered already");
  }
  const TClassInfo* parent = nullptr;
  if (!Parent.empty()) {
    parent = Find(Parent);
    if (parent == nullptr) {
      throw Exception("Class " + Parent + " is not registered");
    }
  }
  auto info = std::make_unique<TClassInfo>(Name, parent, std::move(Create));
  TClassInfo& result = *info;
  classes_[Name] = std::move(info);
  return result;
}

const TClassInfo* TClassRegistry::Find(const std::string& Name) const {
  auto found = classes_.find(Name);
  return found != classes_.end() ? found->second.get() : nullptr;
}

}  // namespace classlib
