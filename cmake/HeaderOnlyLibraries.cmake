# CLI11 and nlohmann-json for the Windows build. Both are header-only, so the headers of the Debian packages
# serve MinGW as well. Only their own folders are made visible, copied into the build tree: adding
# /usr/include to a MinGW compile would let Linux headers shadow MinGW's, and their CMake packages would hand
# the Windows build Linux paths.
function(velmora_header_only_library target folder header)
    find_path(VELMORA_${folder}_HEADERS NAMES ${folder}/${header} PATHS /usr/include /usr/local/include
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT VELMORA_${folder}_HEADERS)
        message(FATAL_ERROR "${folder}/${header} not found: run scripts/install-deps.sh")
    endif()
    set(visible ${CMAKE_BINARY_DIR}/header-only)
    file(COPY ${VELMORA_${folder}_HEADERS}/${folder} DESTINATION ${visible})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    target_include_directories(${target} SYSTEM INTERFACE ${visible})
endfunction()

if(NOT TARGET CLI11::CLI11)
    velmora_header_only_library(CLI11::CLI11 CLI CLI.hpp)
endif()
if(NOT TARGET nlohmann_json::nlohmann_json)
    velmora_header_only_library(nlohmann_json::nlohmann_json nlohmann json.hpp)
endif()
