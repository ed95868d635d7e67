gbx_add_bench(catalogue ${CMAKE_CURRENT_LIST_DIR}/CatalogueBench.cpp LINK tmsdk_tunefind_cd tmsdk_sdkmanager)
