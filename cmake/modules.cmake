# kelvara_module(name dep...): a static library from every .cpp under <name>/
# (subfolders included), public include roots = the project root and the generated headers.
function(kelvara_module name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${name}/*.cpp)
  if(NOT srcs)
    set(srcs ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(kelvara_${name} STATIC ${srcs})
  target_include_directories(kelvara_${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  foreach(dep IN LISTS ARGN)
    target_link_libraries(kelvara_${name} PUBLIC kelvara_${dep})
  endforeach()
endfunction()
