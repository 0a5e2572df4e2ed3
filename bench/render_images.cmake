# Image output: a full A4 page at 600 dpi of 24-bit source drawn with
# DrvStretchBlt into a real job (GDI stand-in, the rendering library loaded
# from the driver directory, the spooler) on a machine folder in memory.
tarvel_add_bench(NAME bench_images SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_images.cpp ${TARVEL_BENCH_HOST_SOURCES}
                 LIBS tarvelcommon tarvelplat)
target_include_directories(bench_images PRIVATE ${PROJECT_SOURCE_DIR}/host)
add_dependencies(bench_images tarvelgr tarveldm tarveljl tarvelui models)
if(TARGET tarvelrs)
  add_dependencies(bench_images tarvelrs)
endif()
