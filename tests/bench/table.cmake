gbx_add_bench(table ${CMAKE_CURRENT_LIST_DIR}/TableBench.cpp LINK gbx_ui)
