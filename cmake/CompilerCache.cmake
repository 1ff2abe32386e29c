# ccache as the compiler launcher when it is installed. The cache is keyed on paths relative to the source
# tree and not on the build directory, so that a second clone of the project (or a work tree beside it) finds
# what the first one compiled; precompiled headers need the two sloppiness settings to be cached at all.
option(VELMORA_CCACHE "Compile through ccache when it is installed" ON)
find_program(VELMORA_CCACHE_PROGRAM ccache)
if(VELMORA_CCACHE AND VELMORA_CCACHE_PROGRAM)
    set(launcher
        ${CMAKE_COMMAND} -E env
        CCACHE_BASEDIR=${PROJECT_SOURCE_DIR}
        CCACHE_NOHASHDIR=1
        CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
        ${VELMORA_CCACHE_PROGRAM})
    set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
    # Sources compiled in batches are included by their absolute paths, so that __FILE__ in GoogleTest's
    # macros would name the clone and every test source would miss the cache of another clone.
    add_compile_options(-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)
endif()
