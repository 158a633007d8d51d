# Turns the console's web files into C++ byte arrays, at build time:
#   cmake -DWEB_DIR=<src/web> -DOUT=<generated .cc> -P embed.cmake
#
# Three texts come out, each a NUL-terminated `const unsigned char` array
# with a `size_t` length that excludes the NUL:
#   PAGE_TEMPLATE  page.html with console.css, vendor/qrcode.js (the
#                  vendored QR encoder), console_logic.js (the console's
#                  decisions) and console.js (its I/O and drawing) inlined,
#                  and its two placeholder comments replaced by the one-byte
#                  markers 0x01 (theme head block) and 0x02 (theme bridge
#                  script);
#   THEME_HEAD     <script> theme_early.js </script><style> theme.css </style>
#   THEME_BRIDGE   <script> theme_bridge.js </script> and a line feed.
#
# The work is done on lists of "0xHH," items, so every replacement is
# aligned on whole bytes. The build fails when a source file holds anything
# but printable ASCII and line feeds (a CR, a tab or a UTF-8 character), or
# when a placeholder or an include tag is not found exactly once: the page
# writer relies on each marker occurring once and on nothing else in the
# template being below 0x20.

cmake_minimum_required(VERSION 3.20)

if(NOT WEB_DIR OR NOT OUT)
  message(FATAL_ERROR "embed.cmake needs -DWEB_DIR=... and -DOUT=...")
endif()

# hex_of_file(<var> <file>): the file as "0xHH," items, checked to hold only
# printable ASCII and line feeds.
function(hex_of_file var file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # Allowed: 0x0a and 0x20..0x7e. Anything else stops the build.
  string(REGEX MATCH "0x(0[0-9b-f]|1[0-9a-f]|7f|[89a-f][0-9a-f])," bad "${hex}")
  if(bad)
    message(FATAL_ERROR "${file}: byte ${bad} is not printable ASCII or a line feed; "
                        "write non-ASCII characters as HTML entities or JavaScript escapes")
  endif()
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# hex_of_text(<var> <text>): a literal text as "0xHH," items.
function(hex_of_text var text)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# replace_once(<var> <what> <with> <label>): replaces the only occurrence of
# the literal text <what> inside the item list <var> by the item list <with>.
function(replace_once var what with label)
  hex_of_text(needle "${what}")
  string(FIND "${${var}}" "${needle}" first)
  string(FIND "${${var}}" "${needle}" last REVERSE)
  if(first EQUAL -1)
    message(FATAL_ERROR "page.html: ${label} '${what}' not found")
  endif()
  if(NOT first EQUAL last)
    message(FATAL_ERROR "page.html: ${label} '${what}' occurs more than once")
  endif()
  string(REPLACE "${needle}" "${with}" result "${${var}}")
  set(${var} "${result}" PARENT_SCOPE)
endfunction()

hex_of_file(page "${WEB_DIR}/page.html")
hex_of_file(page_css "${WEB_DIR}/console.css")
hex_of_file(page_js "${WEB_DIR}/console.js")
hex_of_file(logic_js "${WEB_DIR}/console_logic.js")
hex_of_file(qr_js "${WEB_DIR}/vendor/qrcode.js")
hex_of_file(early_js "${WEB_DIR}/theme_early.js")
hex_of_file(theme_css "${WEB_DIR}/theme.css")
hex_of_file(bridge_js "${WEB_DIR}/theme_bridge.js")

hex_of_text(open_style "<style>")
hex_of_text(close_style "</style>")
hex_of_text(open_script "<script>")
hex_of_text(close_script "</script>")
hex_of_text(line_feed "\n")

# The template. page.html links its style and script so that an editor and
# a browser can open it as it is; the build inlines them.
replace_once(page "<link rel=\"stylesheet\" href=\"console.css\">"
             "${open_style}${page_css}${close_style}" "include tag")
replace_once(page "<script src=\"vendor/qrcode.js\"></script>"
             "${open_script}${qr_js}${close_script}" "include tag")
replace_once(page "<script src=\"console_logic.js\"></script>"
             "${open_script}${logic_js}${close_script}" "include tag")
replace_once(page "<script src=\"console.js\"></script>"
             "${open_script}${page_js}${close_script}" "include tag")
replace_once(page "<!--@theme-head@-->" "0x01," "placeholder")
replace_once(page "<!--@theme-bridge@-->" "0x02," "placeholder")

set(theme_head "${open_script}${early_js}${close_script}${open_style}${theme_css}${close_style}")
set(theme_bridge "${open_script}${bridge_js}${close_script}${line_feed}")

# emit_array(<out var> <name> <items>): one array definition and its length.
function(emit_array outvar name items)
  string(REGEX MATCHALL "0x" count_list "${items}")
  list(LENGTH count_list count)
  # Sixteen items a line keeps the generated file readable in a debugger.
  # (CMake's regular expressions have no {n} repetition.)
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)
  string(REGEX REPLACE "(${sixteen})" "\\1\n  " body "${items}")
  # assets.h, included above the definitions, gives them external linkage.
  set(${outvar} "${${outvar}}const unsigned char ${name}[] = {\n  ${body}0x00};\nconst size_t ${name}_LEN = ${count};\n\n" PARENT_SCOPE)
endfunction()

set(code "// Generated by src/web/embed.cmake from the files in src/web/. Do not edit.\n")
string(APPEND code "#include \"web/assets.h\"\n\n")
emit_array(code PAGE_TEMPLATE "${page}")
emit_array(code THEME_HEAD "${theme_head}")
emit_array(code THEME_BRIDGE "${theme_bridge}")

# Rewrite only on change, so that an unchanged page does not rebuild.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL code)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${code}")
