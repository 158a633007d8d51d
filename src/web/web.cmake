# The console page. Included from the top-level CMakeLists; adds its
# sources to lumivane_core.
target_sources(lumivane_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/page.cc)
