gbx_add_bench(transfer ${CMAKE_CURRENT_LIST_DIR}/TransferBench.cpp LINK gbx_app_card)
# The emulated CD drive of the tests, without the rest of their support library.
target_sources(bench_transfer PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/EmulatedCdDrive.cpp)
