# Warnings for our own code; Qt and spdlog headers come in as system includes.
add_compile_options(-Wall -Wextra)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "arm")
    add_compile_options(-Wno-psabi)
endif()
# 32-bit targets: 64-bit off_t, so that stat, lseek, pread and pwrite work past
# 2 GiB as they do on 64-bit ones (Qt is built the same way).
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

# Keep to the Qt API the instrument has; newer calls must sit behind QT_VERSION checks.
add_compile_definitions(QT_DEPRECATED_WARNINGS QT_NO_FOREACH)

if(VQ_SANITIZE)
    add_compile_options(-fsanitize=${VQ_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${VQ_SANITIZE})
endif()

# vq_add_library(<folder> SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...])
function(vq_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    add_library(Vq::${name} ALIAS ${name})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    set_target_properties(${name} PROPERTIES OUTPUT_NAME vq_${name})
endfunction()
