# Colour conversion of image rows (matrix and grid mode) on a 600 dpi A4 band.
# Linked against the render object library (its internal operations).
tarvel_add_bench(NAME bench_color SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_color.cpp LIBS tarvelgr_objects)
