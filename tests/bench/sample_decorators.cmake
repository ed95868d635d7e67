gbx_add_bench(sample_decorators ${CMAKE_CURRENT_LIST_DIR}/SampleDecoratorsBench.cpp LINK gbx_sound_model)
