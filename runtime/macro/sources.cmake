# Sources of runtime/macro (paths relative to runtime/).
set(RUNTIME_MACRO_SOURCES
  macro/lexer.cc
  macro/parser.cc
  macro/dump.cc
  macro/compiler.cc
  macro/macro.cc
)
