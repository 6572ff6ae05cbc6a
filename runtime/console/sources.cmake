# Sources of runtime/console (paths relative to runtime/).
set(RUNTIME_CONSOLE_SOURCES
  console/colors.cc
  console/console.cc
  console/cp1252.cc
  console/input.cc
  console/input_builtins.cc
  console/input_decoder.cc
  console/key_script.cc
  console/keys.cc
  console/no_terminal_backend.cc
  console/screen_buffer.cc
  console/screen_builtins.cc
  console/edit_field.cc
  console/get_class.cc
)
set(RUNTIME_CONSOLE_CURSES_SOURCES
  console/curses_backend.cc
)
# The terminal back end draws code-page text as Unicode: it needs the
# wide-character ncurses.
set(CURSES_NEED_WIDE TRUE)
