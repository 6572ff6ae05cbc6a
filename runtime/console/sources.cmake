# Sources of runtime/console (paths relative to runtime/).
set(RUNTIME_CONSOLE_SOURCES
)
set(RUNTIME_CONSOLE_CURSES_SOURCES
)
