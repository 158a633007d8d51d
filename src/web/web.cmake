# The console page. Included from the top-level CMakeLists; adds the
# embedded texts to lumivane_web. The page, its style and its scripts are ordinary web
# files in this folder; embed.cmake turns them into byte arrays whenever one
# of them changes.
set(LUMIVANE_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(LUMIVANE_WEB_ASSETS ${CMAKE_BINARY_DIR}/generated/web/assets.cc)
set(LUMIVANE_WEB_FILES
  ${LUMIVANE_WEB_DIR}/page.html
  ${LUMIVANE_WEB_DIR}/console.css
  ${LUMIVANE_WEB_DIR}/console.js
  ${LUMIVANE_WEB_DIR}/console_logic.js
  ${LUMIVANE_WEB_DIR}/vendor/qrcode.js
  ${LUMIVANE_WEB_DIR}/theme_early.js
  ${LUMIVANE_WEB_DIR}/theme.css
  ${LUMIVANE_WEB_DIR}/theme_bridge.js
)
add_custom_command(
  OUTPUT ${LUMIVANE_WEB_ASSETS}
  COMMAND ${CMAKE_COMMAND} -DWEB_DIR=${LUMIVANE_WEB_DIR} -DOUT=${LUMIVANE_WEB_ASSETS}
          -P ${LUMIVANE_WEB_DIR}/embed.cmake
  DEPENDS ${LUMIVANE_WEB_FILES} ${LUMIVANE_WEB_DIR}/embed.cmake
  COMMENT "Embedding the console page"
  VERBATIM
)
target_sources(lumivane_web PRIVATE ${LUMIVANE_WEB_ASSETS})
