gbx_add_bench(interleaved_buffer ${CMAKE_CURRENT_LIST_DIR}/InterleavedBufferBench.cpp LINK gbx_sound_model)
