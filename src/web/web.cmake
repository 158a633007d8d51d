# The console page. Included from the top-level CMakeLists; adds the
# embedded texts to lumivane_web. The page, its style and its scripts are ordinary web
# files in this folder; page.html names the style sheets and scripts it is
# made of (page_files.cmake), embed.cmake turns them into byte arrays
# whenever one of them changes, and csp.cmake derives the page's policy
# from the result. A change to page.html's list reconfigures, so a new
# script needs only its tag there.
set(LUMIVANE_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(LUMIVANE_WEB_ASSETS ${CMAKE_BINARY_DIR}/generated/web/assets.cc)
include(${LUMIVANE_WEB_DIR}/page_files.cmake)
page_files(LUMIVANE_WEB_PAGE_FILES ${LUMIVANE_WEB_DIR}/page.html)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${LUMIVANE_WEB_DIR}/page.html)
set(LUMIVANE_WEB_FILES
  ${LUMIVANE_WEB_DIR}/page.html
  ${LUMIVANE_WEB_DIR}/unauthorized.html
  ${LUMIVANE_WEB_PAGE_FILES}
  ${LUMIVANE_WEB_DIR}/theme_early.js
  ${LUMIVANE_WEB_DIR}/theme.css
  ${LUMIVANE_WEB_DIR}/theme_bridge.js
)
add_custom_command(
  OUTPUT ${LUMIVANE_WEB_ASSETS}
  COMMAND ${CMAKE_COMMAND} -DWEB_DIR=${LUMIVANE_WEB_DIR} -DOUT=${LUMIVANE_WEB_ASSETS}
          -P ${LUMIVANE_WEB_DIR}/embed.cmake
  DEPENDS ${LUMIVANE_WEB_FILES} ${LUMIVANE_WEB_DIR}/embed.cmake ${LUMIVANE_WEB_DIR}/csp.cmake ${LUMIVANE_WEB_DIR}/text_steps.cmake
          ${LUMIVANE_WEB_DIR}/page_files.cmake
  COMMENT "Embedding the console page"
  VERBATIM
)
target_sources(lumivane_web PRIVATE ${LUMIVANE_WEB_ASSETS})
