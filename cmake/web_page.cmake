# The web layer links cpp-httplib and nlohmann-json, and carries the page's files (web/page/*)
# as arrays made at build time by cmake/embed_page.cmake.
file(GLOB page_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/web/page/*)
list(SORT page_files)
string(REPLACE ";" "|" page_file_list "${page_files}")
set(page_cpp ${PROJECT_BINARY_DIR}/generated/page_assets.cpp)
add_custom_command(OUTPUT ${page_cpp}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${page_cpp} -DFILES=${page_file_list}
          -P ${PROJECT_SOURCE_DIR}/cmake/embed_page.cmake
  DEPENDS ${page_files} ${PROJECT_SOURCE_DIR}/cmake/embed_page.cmake
  COMMENT "Embedding the page's files" VERBATIM)
target_sources(kelvara_web PRIVATE ${page_cpp})
target_link_libraries(kelvara_web PUBLIC PkgConfig::HTTPLIB PRIVATE nlohmann_json::nlohmann_json)
