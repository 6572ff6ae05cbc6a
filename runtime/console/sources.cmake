# Sources of runtime/console (paths relative to runtime/).
set(RUNTIME_CONSOLE_SOURCES
  console/edit_field.cc
  console/get_class.cc
)
set(RUNTIME_CONSOLE_CURSES_SOURCES
)
