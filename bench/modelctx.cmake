# Model context: the default of every feature of the standard model, and
# opening plus closing a context from an installed printer.
tarvel_add_bench(NAME bench_modelctx SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_modelctx.cpp LIBS tarvelcommon)
target_compile_definitions(bench_modelctx PRIVATE TARVEL_DRIVER_DIR="${TARVEL_DRIVER_DIR}")
add_dependencies(bench_modelctx models)
