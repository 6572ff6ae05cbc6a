// Tokenizer of the expression language.
#include "runtime/macro/lexer.h"

#include <cctype>
#include <cstdlib>

namespace rt::macro {
namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

struct Punct {
  const char* text;
  Tok kind;
};
// Longest first, so "==" wins over "=" and "**" over "*".
constexpr Punct kPuncts[] = {
    {":=", Tok::kAssign},  {"+=", Tok::kAddAssign}, {"-=", Tok::kSubAssign},
    {"*=", Tok::kMulAssign}, {"/=", Tok::kDivAssign},
    {"%=", Tok::kModAssign}, {"++", Tok::kInc},     {"--", Tok::kDec},
    {"->", Tok::kArrow},   {"**", Tok::kPower},     {"==", Tok::kExactEq},
    {"!=", Tok::kNe},      {"<>", Tok::kNe},        {"<=", Tok::kLe},
    {">=", Tok::kGe},      {"(", Tok::kLParen},     {")", Tok::kRParen},
    {"[", Tok::kLBracket}, {"]", Tok::kRBracket},   {"{", Tok::kLBrace},
    {"}", Tok::kRBrace},   {",", Tok::kComma},      {"|", Tok::kPipe},
    {"@", Tok::kAt},       {"&", Tok::kAmp},        {":", Tok::kColon},
    {"+", Tok::kPlus},     {"-", Tok::kMinus},      {"*", Tok::kStar},
    {"/", Tok::kSlash},    {"%", Tok::kPercent},    {"^", Tok::kPower},
    {"=", Tok::kEq},       {"#", Tok::kNe},         {"<", Tok::kLt},
    {">", Tok::kGt},       {"$", Tok::kDollar},     {"!", Tok::kNot},
};

struct DotWord {
  const char* text;
  Tok kind;
};
constexpr DotWord kDotWords[] = {
    {"T", Tok::kTrue},  {"Y", Tok::kTrue}, {"F", Tok::kFalse},
    {"N", Tok::kFalse}, {"AND", Tok::kAnd}, {"OR", Tok::kOr},
    {"NOT", Tok::kNot},
};

}  // namespace

std::vector<Token> Tokenize(std::string_view text) {
  std::vector<Token> out;
  size_t i = 0;
  const size_t n = text.size();
  auto error = [&](size_t at, std::string why) {
    Token t;
    t.kind = Tok::kError;
    t.pos = static_cast<int>(at) + 1;
    t.length = 1;
    t.text = std::move(why);
    out.push_back(std::move(t));
    return out;
  };
  while (true) {
    while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' ||
                     text[i] == '\n')) {
      ++i;
    }
    Token t;
    t.pos = static_cast<int>(i) + 1;
    if (i >= n) {
      t.kind = Tok::kEnd;
      out.push_back(std::move(t));
      return out;
    }
    const char c = text[i];
    if (IsDigit(c) || (c == '.' && i + 1 < n && IsDigit(text[i + 1]))) {
      size_t start = i;
      while (i < n && IsDigit(text[i])) ++i;
      if (i < n && text[i] == '.' && i + 1 < n && IsDigit(text[i + 1])) {
        ++i;
        while (i < n && IsDigit(text[i])) ++i;
      }
      // strtod needs a terminated string; numbers are short.
      std::string digits(text.substr(start, i - start));
      t.kind = Tok::kNumber;
      t.number = std::strtod(digits.c_str(), nullptr);
      t.length = static_cast<int>(i - start);
      out.push_back(std::move(t));
      continue;
    }
    if (c == '.') {
      size_t end = i + 1;
      while (end < n && std::isalpha(static_cast<unsigned char>(text[end]))) {
        ++end;
      }
      bool matched = false;
      if (end < n && text[end] == '.') {
        std::string_view word = text.substr(i + 1, end - i - 1);
        for (const DotWord& w : kDotWords) {
          if (EqualsNoCase(word, w.text)) {
            t.kind = w.kind;
            t.length = static_cast<int>(end + 1 - i);
            i = end + 1;
            matched = true;
            break;
          }
        }
      }
      if (!matched) return error(i, "'.' that starts no number or operator");
      out.push_back(std::move(t));
      continue;
    }
    if (c == '"' || c == '\'') {
      size_t close = text.find(c, i + 1);
      if (close == std::string_view::npos) {
        return error(i, "string without its closing quote");
      }
      t.kind = Tok::kString;
      t.text = std::string(text.substr(i + 1, close - i - 1));
      t.length = static_cast<int>(close + 1 - i);
      i = close + 1;
      out.push_back(std::move(t));
      continue;
    }
    if (IsNameStart(c)) {
      size_t start = i;
      while (i < n && IsNameChar(text[i])) ++i;
      t.kind = Tok::kName;
      t.text = std::string(text.substr(start, i - start));
      t.length = static_cast<int>(i - start);
      out.push_back(std::move(t));
      continue;
    }
    bool matched = false;
    for (const Punct& p : kPuncts) {
      std::string_view pt(p.text);
      if (text.substr(i, pt.size()) == pt) {
        t.kind = p.kind;
        t.text = std::string(pt);
        t.length = static_cast<int>(pt.size());
        i += pt.size();
        matched = true;
        break;
      }
    }
    if (!matched) return error(i, "character that starts no token");
    out.push_back(std::move(t));
  }
}

std::string Describe(const Token& token) {
  switch (token.kind) {
    case Tok::kEnd:
      return "end of text";
    case Tok::kNumber:
      return "a number";
    case Tok::kString:
      return "a string";
    case Tok::kName:
      return "name '" + token.text + "'";
    case Tok::kTrue:
    case Tok::kFalse:
      return "a logical";
    case Tok::kAnd:
      return "'.AND.'";
    case Tok::kOr:
      return "'.OR.'";
    case Tok::kNot:
      return "'.NOT.'";
    case Tok::kError:
      return token.text;
    default:
      return "'" + token.text + "'";
  }
}

}  // namespace rt::macro
