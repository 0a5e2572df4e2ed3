# Whole print jobs: blank pages through the GDI stand-in, the rendering
# library (loaded from the driver directory as the engine loads it) and the
# spooler, on a printer installed the way the host installs one.
# The host's printing code the job benches share (bench_images too).
set(TARVEL_BENCH_HOST_SOURCES ${PROJECT_SOURCE_DIR}/host/host_printer.cpp ${PROJECT_SOURCE_DIR}/host/host_print.cpp
    ${PROJECT_SOURCE_DIR}/host/host_print_resolution.cpp ${PROJECT_SOURCE_DIR}/host/host_drawing.cpp
    ${PROJECT_SOURCE_DIR}/host/host_image.cpp)
tarvel_add_bench(NAME bench_firstjob SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_firstjob.cpp ${TARVEL_BENCH_HOST_SOURCES}
                 LIBS tarvelcommon tarvelplat)
target_include_directories(bench_firstjob PRIVATE ${PROJECT_SOURCE_DIR}/host)
add_dependencies(bench_firstjob tarvelgr tarveldm tarveljl models)
if(TARGET tarvelrs)
  add_dependencies(bench_firstjob tarvelrs)
endif()
