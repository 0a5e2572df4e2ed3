# Output channel: small writes through the channel into the spooler stand-in
# (the real WritePrinter) and into the spool temporary file of record mode.
# Linked against the render object library (the shared library exports none
# of these internal operations).
tarvel_add_bench(NAME bench_output SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_output.cpp LIBS tarvelgr_objects)
