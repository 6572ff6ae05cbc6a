# Sources of reader/ (paths relative to the project root).
set(READER_SOURCES
  reader/read_status.cc
  reader/status_line.cc
  reader/validation.cc
  reader/set_keys.cc
  reader/apply_key.cc
  reader/events.cc
  reader/readers.cc
)
