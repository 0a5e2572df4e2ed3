# Configuration files and whole model pairs: profile lookups, the per-model
# configuration and devmode mapping, and walking the standard pair.
tarvel_add_bench(NAME bench_config SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_config.cpp LIBS tarvelcommon)
target_compile_definitions(bench_config PRIVATE TARVEL_DRIVER_DIR="${TARVEL_DRIVER_DIR}")
target_include_directories(bench_config PRIVATE ${PROJECT_SOURCE_DIR}/common/tests/model_data)
add_dependencies(bench_config models)
