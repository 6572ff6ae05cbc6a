# Sources of reader/ (paths relative to the project root).
set(READER_SOURCES
)
