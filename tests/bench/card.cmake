gbx_add_bench(card ${CMAKE_CURRENT_LIST_DIR}/CardBench.cpp LINK gbx_app_card)
