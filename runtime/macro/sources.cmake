# Sources of runtime/macro (paths relative to runtime/).
set(RUNTIME_MACRO_SOURCES
)
