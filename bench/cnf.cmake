# Constraint engine: one mode-1 evaluation of the setting with the most rules
# in the standard model, and the sweep over every option of every feature on
# the model's default settings.
tarvel_add_bench(NAME bench_cnf SOURCES ${CMAKE_CURRENT_LIST_DIR}/bench_cnf.cpp LIBS tarvelcommon)
target_compile_definitions(bench_cnf PRIVATE TARVEL_DRIVER_DIR="${TARVEL_DRIVER_DIR}")
target_include_directories(bench_cnf PRIVATE ${PROJECT_SOURCE_DIR}/datamgr/include)
add_dependencies(bench_cnf models tarveldm tarvelrs)
