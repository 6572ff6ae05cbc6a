# Sources of runtime/tables (paths relative to runtime/).
set(RUNTIME_TABLES_SOURCES
  tables/file.cc
)
