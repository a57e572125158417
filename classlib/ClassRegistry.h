// The classes that window descriptions may name: a factory per class name, and per-class property
// setters, inherited along the class chain. RegisterStandardClasses adds the class library's
// controls, forms, timers and file dialogs; the program registers the other classes its
// descriptions name (the serial component, the query).
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/Forms.h"
#include "classlib/Object.h"

namespace classlib {

// A fault in a window description, raised while it is read; the message names the line.
class EReadError : public Exception {
 public:
  using Exception::Exception;
};

// A property value as written in a description.
struct TValue {
  enum TKind { Integer, String, Ident, List, Set };
  TKind Kind = Integer;
  long long Int = 0;
  std::string Text;                // String, Ident
  std::vector<std::string> Items;  // List (strings, or numbers as written), Set (identifiers)
};

// What a setter sees beside the value: the form being read, for its handlers.
class TReadContext {
 public:
  explicit TReadContext(const TForm& Form) : form_(Form) {}
  // The form's handler named by Value (an identifier), which must be of type E.
  template <class E>
  E Handler(const TValue& Value) const {
    const std::any* handler = FindHandler(Value);
    const E* typed = std::any_cast<E>(handler);
    if (typed == nullptr) {
      throw Exception("handler " + Value.Text + " has the wrong type for this event");
    }
    return *typed;
  }

 private:
  const std::any* FindHandler(const TValue& Value) const;
  const TForm& form_;
};

int AsInteger(const TValue& Value);
const std::string& AsString(const TValue& Value);
const std::string& AsIdent(const TValue& Value);
bool AsBoolean(const TValue& Value);
const std::vector<std::string>& AsList(const TValue& Value);
const std::vector<std::string>& AsSet(const TValue& Value);

// The value of an enumeration named by an identifier.
template <class Enum>
Enum AsEnum(const TValue& Value, std::initializer_list<std::pair<const char*, Enum>> Names) {
  const std::string& name = AsIdent(Value);
  for (const auto& [text, value] : Names) {
    if (name == text) {
      return value;
    }
  }
  throw Exception("'" + name + "' is not a valid value");
}

using TPropertySetter =
    std::function<void(TComponent& Target, const TValue& Value, const TReadContext& Context)>;
using TFactory = std::function<TComponent*(TComponent* Owner)>;

class TClassInfo {
 public:
  TClassInfo(std::string Name, const TClassInfo* Parent, TFactory Create)
      : name_(std::move(Name)), parent_(Parent), create_(std::move(Create)) {}

  const std::string& Name() const { return name_; }
  const TClassInfo* Parent() const { return parent_; }
  // Null for a class that descriptions cannot create (abstract, or a form).
  const TFactory& Factory() const { return create_; }

  // A setter for objects of class C (or derived).
  template <class C>
  TClassInfo& Property(const std::string& Name,
                       std::function<void(C&, const TValue&, const TReadContext&)> Setter) {
    properties_[Name] = [Setter = std::move(Setter)](TComponent& target, const TValue& value,
                                                     const TReadContext& context) {
      Setter(dynamic_cast<C&>(target), value, context);
    };
    return *this;
  }
  // An event property held in the event slot Slot of class C.
  template <class C, class E>
  TClassInfo& Event(const std::string& Name, E C::*Slot) {
    return Property<C>(Name, [Slot](C& target, const TValue& value, const TReadContext& context) {
      target.*Slot = context.Handler<E>(value);
    });
  }
  // The setter of Name here or in a class up the chain, or null.
  const TPropertySetter* FindProperty(const std::string& Name) const;

 private:
  std::string name_;
  const TClassInfo* parent_;
  TFactory create_;
  std::map<std::string, TPropertySetter> properties_;
};

class TClassRegistry {
 public:
  // Registers Name, inheriting the properties of Parent (registered before, or empty for a root
  // class); Create may be null. Registering a name again raises.
  TClassInfo& Register(const std::string& Name, const std::string& Parent, TFactory Create);
  template <class C>
  TClassInfo& Register(const std::string& Name, const std::string& Parent) {
    return Register(Name, Parent, [](TComponent* owner) -> TComponent* { return new C(owner); });
  }
  const TClassInfo* Find(const std::string& Name) const;

 private:
  std::map<std::string, std::unique_ptr<TClassInfo>> classes_;
};

// Registers TComponent, the controls, forms, timers and file dialogs of the class library.
void RegisterStandardClasses(TClassRegistry& Classes);

}  // namespace classlib
