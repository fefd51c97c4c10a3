# Warnings and sanitizers, shared by every target through one interface library.
add_library(tovra_options INTERFACE)
target_compile_options(tovra_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
if(TOVRA_STRICT)
  target_compile_options(tovra_options INTERFACE -Werror)
endif()
# Built in batches (CMAKE_UNITY_BUILD), each source file is included by another, so GCC takes a
# test class with a member from its file's unnamed namespace for one declared in a header.
if(CMAKE_UNITY_BUILD)
  target_compile_options(tovra_options INTERFACE -Wno-subobject-linkage)
endif()
if(TOVRA_SANITIZERS)
  # -O1 and line tables only: the sanitizers find as much and still name file and line, and the
  # build takes half the time of -O2 with full debug information.
  target_compile_options(tovra_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined
                         -O1 -g1)
  target_link_options(tovra_options INTERFACE -fsanitize=address,undefined)
endif()

# The toolkit-free libraries and their tests need no moc.
function(tovra_no_qt_codegen)
  set_target_properties(${ARGN} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
