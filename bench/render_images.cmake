# Image output: a full A4 page at 600 dpi of 24-bit source through the
# image writer into a job held in memory.
tarvel_add_bench(NAME bench_images SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_images.cpp LIBS tarvelgr_objects)
