# Compiler settings shared by every target of our own.
function(olmar_settings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wno-missing-field-initializers)
  if(OLMAR_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# One static library per core subsystem, sources picked up from its folder.
function(olmar_core_library name dir)
  file(GLOB _src CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT _src)
    set(_src ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src/core)
  olmar_settings(${name})
  if(OLMAR_SANITIZE)
    target_link_options(${name} INTERFACE -fsanitize=address,undefined)
  endif()
endfunction()
