# Sources of runtime/core (paths relative to runtime/).
set(RUNTIME_CORE_SOURCES
  core/value.cc
  core/date.cc
  core/call_frame.cc
  core/block.cc
  core/registry.cc
  core/error.cc
  core/memvar.cc
  core/settings.cc
  core/class.cc
  core/loader.cc
  core/init.cc
  core/operators.cc
)
