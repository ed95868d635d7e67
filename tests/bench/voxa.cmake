gbx_add_bench(voxa ${CMAKE_CURRENT_LIST_DIR}/VoxaBench.cpp LINK gbx_sound_files)
# The Voxa file's container, without the rest of the card's code (and the toolkit it links).
target_sources(bench_voxa PRIVATE ${PROJECT_SOURCE_DIR}/app/card/VoxaFiles.cpp)
