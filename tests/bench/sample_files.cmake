gbx_add_bench(sample_files ${CMAKE_CURRENT_LIST_DIR}/SampleFilesBench.cpp LINK gbx_sound_files)
