# PCL XL writer: stream throughput of a mixed command load through the output
# channel, the cost of a graphics-state cache hit, and small channel writes.
# Linked against the render object library (the shared library exports none
# of these internal operations).
tarvel_add_bench(NAME bench_pclxl SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_pclxl.cpp LIBS tarvelgr_objects)
