# Image output: a full A4 page at 600 dpi of 24-bit source drawn with
# DrvStretchBlt into a real job (GDI stand-in, the rendering library loaded
# from the driver directory, the spooler) on a machine folder in memory.
tarvel_add_bench(NAME bench_images SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_images.cpp LIBS tarvelhost)
add_dependencies(bench_images tarvel_runtime)
