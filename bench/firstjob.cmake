# Whole print jobs: blank pages through the GDI stand-in, the rendering
# library (loaded from the driver directory as the engine loads it) and the
# spooler, on a printer installed the way the host installs one.
tarvel_add_bench(NAME bench_firstjob SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_firstjob.cpp
                 ${PROJECT_SOURCE_DIR}/host/host_printer.cpp ${PROJECT_SOURCE_DIR}/host/host_print.cpp LIBS tarvelcommon tarvelplat)
target_include_directories(bench_firstjob PRIVATE ${PROJECT_SOURCE_DIR}/host)
add_dependencies(bench_firstjob tarvelgr tarveldm tarveljl models)
if(TARGET tarvelrs)
  add_dependencies(bench_firstjob tarvelrs)
endif()
