# Whole print jobs: blank pages through the GDI stand-in, the rendering
# library (loaded from the driver directory as the engine loads it) and the
# spooler, on a printer installed the way the host installs one.
tarvel_add_bench(NAME bench_firstjob SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_firstjob.cpp LIBS tarvelhost)
add_dependencies(bench_firstjob tarvel_runtime)
