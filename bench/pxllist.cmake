# The PJL and PCL XL job lister decoding a large synthetic job.
tarvel_add_bench(NAME bench_pxllist SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_pxllist.cpp LIBS pxllist_lib)
