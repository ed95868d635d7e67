gbx_add_bench(mp3_info Mp3InfoBench.cpp LINK gbx_general_tools)
