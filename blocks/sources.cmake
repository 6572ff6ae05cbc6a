# Sources of blocks/ (paths relative to the project root).
set(BLOCKS_SOURCES
  blocks/access_blocks.cc
  blocks/scatter_gather.cc
)
