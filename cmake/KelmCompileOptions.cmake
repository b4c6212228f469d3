# Warnings are errors for the project's own code. Generated gSOAP sources get kelm_generated_options
# instead: they are not ours to fix.
add_library(kelm_warnings INTERFACE)
target_compile_options(kelm_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wformat=2 -Wformat-security -Wnon-virtual-dtor -Wcast-align
  -Wnull-dereference -Wdouble-promotion -Wimplicit-fallthrough -Wundef)

add_library(kelm_generated_options INTERFACE)
target_compile_options(kelm_generated_options INTERFACE -w)

if(KELM_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Every target of the project links this one.
function(kelm_target name)
  target_link_libraries(${name} PRIVATE kelm_warnings)
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}")
endfunction()
