# Common compile settings for every target of the project.

add_library(velmr_options INTERFACE)
target_compile_options(velmr_options INTERFACE -Wall -Wextra)
if(VELMR_WERROR)
    target_compile_options(velmr_options INTERFACE -Werror)
endif()
target_compile_definitions(velmr_options INTERFACE
    QT_NO_KEYWORDS QT_NO_CAST_FROM_ASCII QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(VELMR_SANITIZE)
    set(_velmr_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
                   -fno-sanitize=vptr -fno-omit-frame-pointer)
    target_compile_options(velmr_options INTERFACE ${_velmr_san})
    target_link_options(velmr_options INTERFACE ${_velmr_san})
endif()

# velmr_library(<name> SOURCES ... [DEPS ...]): one subsystem folder's library.
function(velmr_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC velmr_options ${ARG_DEPS})
endfunction()
