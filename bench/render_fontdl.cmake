# Font download: a page of 3,000 characters of DejaVu Sans glyphs.
tarvel_add_bench(NAME bench_fontdl SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_fontdl.cpp LIBS tarvelgr_objects)
