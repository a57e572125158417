#include "classlib/FormReader.h"

#include <cctype>

#include "classlib/ClassRegistry.h"
#include "classlib/Forms.h"

namespace classlib {

namespace {

struct Token {
  enum TKind { End, Ident, Integer, String, Symbol };
  TKind Kind = End;
  std::string Text;  // Ident, String, Symbol
  long long Int = 0;
  int Line = 1;
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  Token Next() {
    SkipBlanks();
    Token token;
    token.Line = line_;
    if (pos_ >= text_.size()) {
      return token;
    }
    const char c = text_[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      token.Kind = Token::Ident;
      while (pos_ < text_.size() && IsNameChar(text_[pos_])) {
        token.Text += text_[pos_++];
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '$') {
      ReadInteger(token);
    } else if (c == '\'' || c == '#') {
      ReadString(token);
    } else {
      token.Kind = Token::Symbol;
      token.Text = std::string(1, c);
      ++pos_;
    }
    return token;
  }

  [[noreturn]] void Fail(int line, const std::string& message) const {
    throw EReadError("Line " + std::to_string(line) + ": " + message);
  }

 private:
  static bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
  }

  void SkipBlanks() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (static_cast<unsigned char>(c) <= ' ') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
        while (pos_ < text_.size() && text_[pos_] != '\n') {
          ++pos_;
        }
      } else {
        return;
      }
    }
  }

  void ReadInteger(Token& token) {
    token.Kind = Token::Integer;
    bool negative = false;
    if (text_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    const int base = pos_ < text_.size() && text_[pos_] == '$' ? 16 : 10;
    if (base == 16) {
      ++pos_;
    }
    std::size_t digits = 0;
    while (pos_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[pos_]))) {
      const char d = text_[pos_];
      if (base == 10 && !std::isdigit(static_cast<unsigned char>(d))) {
        break;
      }
      const int value = std::isdigit(static_cast<unsigned char>(d))
                            ? d - '0'
                            : std::tolower(static_cast<unsigned char>(d)) - 'a' + 10;
      token.Int = token.Int * base + value;
      if (token.Int > 0xFFFFFFFFll) {
        Fail(line_, "number too large");
      }
      ++pos_;
      ++digits;
    }
    if (digits == 0) {
      Fail(line_, "a number is expected");
    }
    if (negative) {
      token.Int = -token.Int;
    }
  }

  // Quoted runs and #nn codes, adjacent, make one string.
  void ReadString(Token& token) {
    token.Kind = Token::String;
    while (pos_ < text_.size() && (text_[pos_] == '\'' || text_[pos_] == '#')) {
      if (text_[pos_] == '#') {
        ++pos_;
        int code = 0;
        std::size_t digits = 0;
        while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) {
          code = code * 10 + (text_[pos_++] - '0');
          if (code > 255) {
            Fail(line_, "character code above 255");
          }
          ++digits;
        }
        if (digits == 0) {
          Fail(line_, "a character code is expected after #");
        }
        token.Text += static_cast<char>(code);
        continue;
      }
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size() || text_[pos_] == '\n') {
          Fail(token.Line, "unterminated string");
        }
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            token.Text += '\'';
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        token.Text += text_[pos_++];
      }
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
};

class Reader {
 public:
  Reader(TForm& form, std::string_view text, const TClassRegistry& classes)
      : form_(form), lexer_(text), classes_(classes), context_(form) {
    Advance();
  }

  void Read() {
    ExpectWord("object");
    const Token name = ExpectIdent("a component name");
    ExpectSymbol(":");
    const Token className = ExpectIdent("a class name");
    const TClassInfo* info = classes_.Find(className.Text);
    if (info == nullptr || info->Factory()) {
      info = classes_.Find("TForm");
    }
    if (info == nullptr) {
      lexer_.Fail(className.Line, "class TForm is not registered");
    }
    form_.SetName(name.Text);
    ReadBody(form_, *info, &form_);
    if (token_.Kind != Token::End) {
      lexer_.Fail(token_.Line, "text after the final end");
    }
  }

 private:
  void ReadBody(TComponent& component, const TClassInfo& info, TControl* container) {
    for (;;) {
      if (token_.Kind == Token::End) {
        lexer_.Fail(token_.Line, "end expected for " + component.Name());
      }
      const Token word = ExpectIdent("a property, object or end");
      if (word.Text == "end") {
        return;
      }
      if (word.Text == "object") {
        ReadChild(container, word.Line);
        continue;
      }
      ExpectSymbol("=");
      const TValue value = ReadValue();
      const TPropertySetter* setter = info.FindProperty(word.Text);
      if (setter == nullptr) {
        lexer_.Fail(word.Line, "class " + info.Name() + " has no property " + word.Text);
      }
      try {
        (*setter)(component, value, context_);
      } catch (const Exception& e) {
        lexer_.Fail(word.Line, component.Name() + "." + word.Text + ": " + e.Message());
      }
    }
  }

  void ReadChild(TControl* container, int line) {
    const Token name = ExpectIdent("a component name");
    ExpectSymbol(":");
    const Token className = ExpectIdent("a class name");
    const TClassInfo* info = classes_.Find(className.Text);
    if (info == nullptr) {
      lexer_.Fail(className.Line, "class " + className.Text + " is not registered");
    }
    if (!info->Factory()) {
      lexer_.Fail(className.Line, "class " + className.Text + " cannot be created here");
    }
    if (form_.FindComponent(name.Text) != nullptr) {
      lexer_.Fail(name.Line, "a component named " + name.Text + " exists already");
    }
    TComponent* component = info->Factory()(&form_);
    component->SetName(name.Text);
    auto* control = dynamic_cast<TControl*>(component);
    if (control != nullptr) {
      if (container == nullptr) {
        lexer_.Fail(line, "control " + name.Text + " inside a component that is no control");
      }
      control->SetParent(container);
    }
    ReadBody(*component, *info, control);
  }

  TValue ReadValue() {
    TValue value;
    const Token token = token_;
    Advance();
    switch (token.Kind) {
      case Token::Integer:
        value.Kind = TValue::Integer;
        value.Int = token.Int;
        return value;
      case Token::String:
        value.Kind = TValue::String;
        value.Text = token.Text;
        return value;
      case Token::Ident:
        value.Kind = TValue::Ident;
        value.Text = token.Text;
        return value;
      case Token::Symbol:
        if (token.Text == "(") {
          value.Kind = TValue::List;
          while (!IsSymbol(")")) {
            if (token_.Kind == Token::String || token_.Kind == Token::Ident) {
              value.Items.push_back(token_.Text);
            } else if (token_.Kind == Token::Integer) {
              value.Items.push_back(std::to_string(token_.Int));
            } else {
              lexer_.Fail(token_.Line, "a list item or ) is expected");
            }
            Advance();
          }
          Advance();
          return value;
        }
        if (token.Text == "[") {
          value.Kind = TValue::Set;
          while (!IsSymbol("]")) {
            value.Items.push_back(ExpectIdent("a set element").Text);
            if (!IsSymbol("]")) {
              ExpectSymbol(",");
            }
          }
          Advance();
          return value;
        }
        break;
      case Token::End:
        break;
    }
    lexer_.Fail(token.Line, "a value is expected");
  }

  void Advance() { token_ = lexer_.Next(); }
  bool IsSymbol(const char* symbol) const {
    return token_.Kind == Token::Symbol && token_.Text == symbol;
  }
  Token ExpectIdent(const char* what) {
    if (token_.Kind != Token::Ident) {
      lexer_.Fail(token_.Line, std::string(what) + " is expected");
    }
    Token token = token_;
    Advance();
    return token;
  }
  void ExpectWord(const char* word) {
    if (token_.Kind != Token::Ident || token_.Text != word) {
      lexer_.Fail(token_.Line, std::string(word) + " is expected");
    }
    Advance();
  }
  void ExpectSymbol(const char* symbol) {
    if (!IsSymbol(symbol)) {
      lexer_.Fail(token_.Line, std::string("'") + symbol + "' is expected");
    }
    Advance();
  }

  TForm& form_;
  Lexer lexer_;
  const TClassRegistry& classes_;
  TReadContext context_;
  Token token_;
};

}  // namespace

void ReadComponents(TForm& Form, std::string_view Description, const TClassRegistry& Classes) {
  Reader(Form, Description, Classes).Read();
}

}  // namespace classlib
