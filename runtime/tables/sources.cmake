# Sources of runtime/tables (paths relative to runtime/).
set(RUNTIME_TABLES_SOURCES
  tables/file.cc
  tables/dbf_header.cc
  tables/dbf_field.cc
  tables/dbf_table.cc
  tables/work_area.cc
  tables/work_area_orders.cc
  tables/work_area_set.cc
  tables/table_builtins.cc
  tables/key_encoding.cc
  tables/field_key.cc
  tables/cdx_node.cc
  tables/cdx_store.cc
  tables/index_bag.cc
)
