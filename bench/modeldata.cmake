# Model data reader: open the standard pair, parse every record in full mode,
# free, close.
tarvel_add_bench(NAME bench_modeldata SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_modeldata.cpp
                 LIBS tarvelcommon)
target_compile_definitions(bench_modeldata PRIVATE TARVEL_DRIVER_DIR="${TARVEL_DRIVER_DIR}")
add_dependencies(bench_modeldata models)
