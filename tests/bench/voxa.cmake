gbx_add_bench(voxa ${CMAKE_CURRENT_LIST_DIR}/VoxaBench.cpp LINK gbx_sound_files)
