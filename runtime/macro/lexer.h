// Splits expression text into tokens.  Works on bytes (the single-byte code
// page); never reads past the text.
#ifndef RUNTIME_MACRO_LEXER_H_
#define RUNTIME_MACRO_LEXER_H_

#include <string>
#include <string_view>
#include <vector>

namespace rt::macro {

enum class Tok {
  kEnd,       // end of text
  kNumber,    // 12, 12.5, .5
  kString,    // "..." or '...'; `text` holds the bytes between the quotes
  kName,      // identifier; `text` as written
  kTrue,      // .T. .Y.
  kFalse,     // .F. .N.
  kAnd,       // .AND.
  kOr,        // .OR.
  kNot,       // .NOT. and !
  kLParen, kRParen, kLBracket, kRBracket, kLBrace, kRBrace,
  kComma, kPipe, kAt, kAmp, kColon, kArrow,  // , | @ & : ->
  kAssign, kAddAssign, kSubAssign, kMulAssign, kDivAssign, kModAssign,
  kInc, kDec,                                  // ++ --
  kPlus, kMinus, kStar, kSlash, kPercent, kPower,  // ** and ^ are kPower
  kEq, kExactEq, kNe, kLt, kLe, kGt, kGe, kDollar,
  kError,     // a byte sequence that is no token; `text` says why
};

struct Token {
  Tok kind = Tok::kEnd;
  int pos = 1;        // 1-based offset of the first byte
  int length = 0;     // bytes of source the token covers
  std::string text;   // kString bytes, kName spelling, kError reason
  double number = 0;  // kNumber value
};

// Tokenizes the whole text.  The last token is kEnd, or kError at the first
// byte that starts no token (the tokens before it are kept).
std::vector<Token> Tokenize(std::string_view text);

// A printable form of a token for error messages, e.g. "')'", "name 'x'",
// "end of text".
std::string Describe(const Token& token);

}  // namespace rt::macro

#endif  // RUNTIME_MACRO_LEXER_H_
