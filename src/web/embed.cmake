# Turns the console's web files into C++ byte arrays, at build time:
#   cmake -DWEB_DIR=<src/web> -DOUT=<generated .cc> -P embed.cmake
#
# Four texts come out, each a NUL-terminated `const unsigned char` array
# with a `size_t` length that excludes the NUL:
#   PAGE_TEMPLATE  page.html without indentation, with every style sheet
#                  and script it names (page_files.cmake) inlined at its
#                  tag, in page order (scripts named in a row as one
#                  block), and
#                  its two placeholder comments replaced by the one-byte
#                  markers 0x01 (theme head block) and 0x02 (theme bridge
#                  script);
#   THEME_HEAD     <script> theme_early.js </script><style> theme.css </style>
#   THEME_BRIDGE   <script> theme_bridge.js </script> and a line feed;
#   PAGE_POLICY    the page's Content-Security-Policy value, with the hash
#                  of every inline block of the finished page (csp.cmake);
#   REFUSAL_PAGE   unauthorized.html, whole, with the theme head block in
#                  place of its placeholder: the page a browser gets from a
#                  node with a password when it asked without one;
#   REFUSAL_POLICY its Content-Security-Policy value.
#
# Every script and style sheet goes in lean (lean_text): without comments,
# other than licence notices, and without indentation or empty lines. The
# build reports the size of the page as served.
#
# The texts are assembled as text and turned into "0xHH," items once, at
# the end. The build fails when a source file holds anything but printable
# ASCII and line feeds (a CR, a tab or a UTF-8 character), or
# when a placeholder or an include tag is not found exactly once: the page
# writer relies on each marker occurring once and on nothing else in the
# template being below 0x20, and the policy's hashes rely on the page being
# served byte for byte as it is assembled here.

cmake_minimum_required(VERSION 3.20)

if(NOT WEB_DIR OR NOT OUT)
  message(FATAL_ERROR "embed.cmake needs -DWEB_DIR=... and -DOUT=...")
endif()

include("${CMAKE_CURRENT_LIST_DIR}/text_steps.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/csp.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/page_files.cmake")

# text_of_file(<var> <file>): the file's text, checked to hold only
# printable ASCII and line feeds, so that it passes through CMake's string
# commands unchanged (no NUL, no byte that a text operation could alter).
function(text_of_file var file)
  file(READ "${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # Allowed: 0x0a and 0x20..0x7e. Anything else stops the build.
  string(REGEX MATCH "0x(0[0-9b-f]|1[0-9a-f]|7f|[89a-f][0-9a-f])," bad "${hex}")
  if(bad)
    message(FATAL_ERROR "${file}: byte ${bad} is not printable ASCII or a line feed; "
                        "write non-ASCII characters as HTML entities or JavaScript escapes")
  endif()
  file(READ "${file}" text)
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# tight_code(<var> <text> <kind>): the blanks of a lean script (kind js)
# or style sheet (kind css) that no reader needs, dropped outside its
# quoted strings. Each '...' or "..." literal is set aside first (the
# marker 0x04 N 0x04 stands for it) and put back unchanged at the end; the
# licence markers (0x03 N 0x03) are left where they are. Then:
#   js   a run of blanks becomes one blank between two characters that
#        would melt into one token without it: two of letters, digits, _,
#        $, "." and "\" ("return x", "1 .x"), "+ +", "- -", "/ /" and
#        "/ *" ("a - -b", "a / /re/"); every other run goes.
#   css  a run of blanks goes when a character on either side of it is
#        one of { } ; , or a marker, and after ":" (never before it:
#        ".a :hover" is not ".a:hover"). Blanks inside values and
#        selectors stay ("0 auto", ".hd .grow").
# In both, a ";" right before "}" goes.
# Sound for the page's files, which use no template literal (a backquote
# in the code stops the build) and no quote or blank inside a regular
# expression literal; a string that is not closed on its line stops the
# build.
function(tight_code var text kind)
  string(ASCII 3 licence)
  string(ASCII 4 mark)
  set(code "")
  set(rest "${text}")
  set(n 0)
  while(TRUE)
    string(REGEX MATCH "^[^'\"]*" plain "${rest}")
    string(LENGTH "${plain}" at)
    string(APPEND code "${plain}")
    string(SUBSTRING "${rest}" ${at} -1 rest)
    if(rest STREQUAL "")
      break()
    endif()
    string(REGEX MATCH "^('([^'\\\n]|\\\\.)*'|\"([^\"\\\n]|\\\\.)*\")" literal "${rest}")
    if(literal STREQUAL "")
      string(SUBSTRING "${rest}" 0 40 where)
      message(FATAL_ERROR "a string is not closed on its line: ${where}")
    endif()
    set(literal_${n} "${literal}")
    string(APPEND code "${mark}${n}${mark}")
    math(EXPR n "${n} + 1")
    string(LENGTH "${literal}" len)
    string(SUBSTRING "${rest}" ${len} -1 rest)
  endwhile()
  if(code MATCHES "`")
    message(FATAL_ERROR "a script uses a template literal, which the lean pass does not read")
  endif()
  if(kind STREQUAL "js")
    # The runs that stay become one blank (0x05 while the others go); the
    # second round finds the runs whose left character the first round's
    # previous match took.
    string(ASCII 5 blank)
    foreach(round 1 2)
      string(REGEX REPLACE "([A-Za-z0-9_$.\\]) +([A-Za-z0-9_$.\\])" "\\1${blank}\\2" code "${code}")
      string(REGEX REPLACE "([+]) +([+])" "\\1${blank}\\2" code "${code}")
      string(REGEX REPLACE "(-) +(-)" "\\1${blank}\\2" code "${code}")
      string(REGEX REPLACE "(/) +([/*])" "\\1${blank}\\2" code "${code}")
    endforeach()
    string(REPLACE " " "" code "${code}")
    string(REPLACE "${blank}" " " code "${code}")
  else()
    set(ends "{};,${licence}${mark}")
    string(REGEX REPLACE "([${ends}:]) +" "\\1" code "${code}")
    string(REGEX REPLACE " +([${ends}])" "\\1" code "${code}")
  endif()
  # A ";" right before "}" ends nothing that "}" does not end itself: the
  # last declaration of a rule, the last statement of a block (the page's
  # scripts write no empty statement such as "if (x);").
  string(REPLACE ";}" "}" code "${code}")
  put_back(code "${mark}" literal ${n})
  set(${var} "${code}" PARENT_SCOPE)
endfunction()

# lean_text(<var> <text> <kind>): a script (kind js) or style sheet (kind
# css) as the page carries it: without its comments, but for those opening
# with "/*!" (licence notices, kept as they are), without indentation,
# trailing blanks or empty lines, without the line feeds that mean
# nothing: after ";", "{" or "," and before "}", ")" or "]" (no statement
# of a script ends there, so no semicolon is inferred at them), and
# without the blanks tight_code drops. Sound for the page's files, which
# write "/*" and "*/" only to open and close comments and hold no string
# that spans lines; the browser tests run on the lean page.
function(lean_text var text kind)
  string(ASCII 3 mark)
  set(out "")
  set(rest "${text}")
  set(kept 0)
  while(TRUE)
    string(FIND "${rest}" "/*" at)
    if(at EQUAL -1)
      string(APPEND out "${rest}")
      break()
    endif()
    string(SUBSTRING "${rest}" 0 ${at} before)
    string(APPEND out "${before}")
    math(EXPR at "${at} + 2")
    string(SUBSTRING "${rest}" ${at} -1 rest)
    cut_at(body rest "*/" "a comment is not closed")
    set(comment "/*${body}*/")
    if(comment MATCHES "^/\\*!")
      set(kept_${kept} "${comment}")
      string(APPEND out "${mark}${kept}${mark}")
      math(EXPR kept "${kept} + 1")
    endif()
  endwhile()
  string(REGEX REPLACE "\n[ ]+" "\n" out "${out}")
  string(REGEX REPLACE "[ ]+\n" "\n" out "${out}")
  string(REGEX REPLACE "\n\n+" "\n" out "${out}")
  string(REGEX REPLACE "^\n+" "" out "${out}")
  string(REGEX REPLACE "([;{,])\n" "\\1" out "${out}")
  string(REGEX REPLACE "\n([])}])" "\\1" out "${out}")
  tight_code(out "${out}" ${kind})
  put_back(out "${mark}" kept ${kept})
  set(${var} "${out}" PARENT_SCOPE)
endfunction()

# lean_file(<var> <file>): text_of_file, then lean_text, as a script or
# a style sheet by the file's extension.
function(lean_file var file)
  text_of_file(text "${file}")
  if(file MATCHES "\\.css$")
    lean_text(text "${text}" css)
  else()
    lean_text(text "${text}" js)
  endif()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# hex_of_text(<var> <text>): a text as "0xHH," items.
function(hex_of_text var text)
  string(HEX "${text}" hex)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  set(${var} "${hex}" PARENT_SCOPE)
endfunction()

# replace_once(<var> <what> <with> <label>): replaces the only occurrence of
# the literal text <what> inside the text <var> by the text <with>.
function(replace_once var what with label)
  set(needle "${what}")
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

text_of_file(page "${WEB_DIR}/page.html")
text_of_file(refusal_page "${WEB_DIR}/unauthorized.html")
lean_file(early_js "${WEB_DIR}/theme_early.js")
lean_file(theme_css "${WEB_DIR}/theme.css")
lean_file(bridge_js "${WEB_DIR}/theme_bridge.js")

set(open_style "<style>")
set(close_style "</style>")
set(open_script "<script>")
set(close_script "</script>")
set(line_feed "\n")
string(ASCII 1 mark_theme_head)
string(ASCII 2 mark_theme_bridge)

# The template. page.html links its style sheets and scripts so that an
# editor and a browser can open it as it is; the build drops the
# indentation of its lines (blanks at the start of a line are only layout
# between elements, and page.html has no <pre>) and inlines each file.
string(REGEX REPLACE "\n[ ]+" "\n" page "${page}")
page_include_tags(tags "${page}")
if(NOT tags)
  message(FATAL_ERROR "page.html names no style sheet or script")
endif()
foreach(tag IN LISTS tags)
  page_include_name(name "${tag}")
  lean_file(text "${WEB_DIR}/${name}")
  if(tag MATCHES "^<script" AND NOT text MATCHES ";$")
    message(FATAL_ERROR "${name}: the last statement does not end with ';', "
                        "which the page's one script block relies on")
  endif()
  if(tag MATCHES "^<script")
    replace_once(page "${tag}" "${open_script}${text}${close_script}" "include tag")
  else()
    replace_once(page "${tag}" "${open_style}${text}${close_style}" "include tag")
  endif()
endforeach()
# Scripts that page.html names one right after another (a line feed
# between their tags) run as one block, in the same order: one hash in the
# policy instead of one per file. Each lean script ends its last statement
# itself, and the line feed between them keeps the next file's first line
# its own.
string(REPLACE "${close_script}${line_feed}${open_script}" "${line_feed}" page "${page}")
replace_once(page "<!--@theme-head@-->" "${mark_theme_head}" "placeholder")
replace_once(page "<!--@theme-bridge@-->" "${mark_theme_bridge}" "placeholder")

set(theme_head "${open_script}${early_js}${close_script}${open_style}${theme_css}${close_style}")
set(theme_bridge "${open_script}${bridge_js}${close_script}${line_feed}")

# The policy is computed on the page as the writer serves it: the template
# with each marker standing for its block.
string(REPLACE "${mark_theme_head}" "${theme_head}" served_page "${page}")
string(REPLACE "${mark_theme_bridge}" "${theme_bridge}" served_page "${served_page}")
page_policy(page_policy "${served_page}")
string(LENGTH "${served_page}" page_size)
message(STATUS "Console page: ${page_size} bytes as served")

# The refusal page of a node with a password: whole at build time, the
# theme head block spliced in, with a policy of its own.
string(FIND "${refusal_page}" "<!--@theme-head@-->" refusal_mark)
if(refusal_mark EQUAL -1)
  message(FATAL_ERROR "unauthorized.html: placeholder '<!--@theme-head@-->' not found")
endif()
string(REPLACE "<!--@theme-head@-->" "${theme_head}" refusal_page "${refusal_page}")
page_policy(refusal_policy "${refusal_page}")

# emit_array(<out var> <name> <text>): one array definition and its length.
function(emit_array outvar name text)
  hex_of_text(items "${text}")
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
emit_array(code PAGE_POLICY "${page_policy}")
emit_array(code REFUSAL_PAGE "${refusal_page}")
emit_array(code REFUSAL_POLICY "${refusal_policy}")

# Rewrite only on change, so that an unchanged page does not rebuild.
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
  if(old STREQUAL code)
    return()
  endif()
endif()
file(WRITE "${OUT}" "${code}")
