# Sources of blocks/ (paths relative to the project root).
set(BLOCKS_SOURCES
)
