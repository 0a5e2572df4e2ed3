# Data manager: dma_GetValue and dma_SetValue over every setting, called
# through the built library as its users call it.
tarvel_add_bench(NAME bench_datamgr SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_datamgr.cpp
                 LIBS tarveldm tarvelsettinglayout)
