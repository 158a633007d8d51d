# The console page's Content-Security-Policy, computed at build time from
# the page itself. Included by embed.cmake; defines functions only.
#
#   page_policy(<var> <page text>)
#       Sets <var> to the policy for the finished page (the template with
#       both theme blocks spliced in): nothing may load or run unless the
#       policy names it, and each inline <script> and <style> element is
#       named by the SHA-256 hash of its content, so the page runs exactly
#       the code it was built with and nothing injected into it. Any inline
#       block counts, whatever its content, so the page's files may change
#       freely; the hashes follow on the next build.
#
# The build fails when the page holds what the policy would silently block:
# a <script> that loads a file (src=) or an element left open.

include("${CMAKE_CURRENT_LIST_DIR}/text_steps.cmake")

# The digits of base64 (RFC 4648, section 4), in the order of their values.
set(CSP_BASE64_DIGITS "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")

# base64_of_hex(<var> <hex>): the bytes that <hex> spells (two lower-case
# digits a byte) in base64, with '=' padding.
function(base64_of_hex var hex)
  string(LENGTH "${hex}" digits)
  set(out "")
  set(at 0)
  while(at LESS digits)
    # Three bytes (six hex digits) make four base64 digits; a last group of
    # one or two bytes is filled with zero bits and padded with '='.
    math(EXPR left "${digits} - ${at}")
    if(left GREATER 6)
      set(left 6)
    endif()
    string(SUBSTRING "${hex}" ${at} ${left} group)
    math(EXPR bytes "${left} / 2")
    while(left LESS 6)
      string(APPEND group "0")
      math(EXPR left "${left} + 1")
    endwhile()
    math(EXPR value "0x${group}")
    math(EXPR count "${bytes} + 1")
    foreach(shift 18 12 6 0)
      if(count GREATER 0)
        math(EXPR index "(${value} >> ${shift}) & 63")
        string(SUBSTRING "${CSP_BASE64_DIGITS}" ${index} 1 digit)
        string(APPEND out "${digit}")
      else()
        string(APPEND out "=")
      endif()
      math(EXPR count "${count} - 1")
    endforeach()
    math(EXPR at "${at} + 6")
  endwhile()
  set(${var} "${out}" PARENT_SCOPE)
endfunction()

# csp_source_of(<var> <content>): the policy's source expression for an
# inline block: 'sha256-' and the base64 of the content's SHA-256 digest.
function(csp_source_of var content)
  string(SHA256 digest "${content}")
  base64_of_hex(b64 "${digest}")
  set(${var} "'sha256-${b64}'" PARENT_SCOPE)
endfunction()

# inline_block_sources(<scripts var> <styles var> <page text>): the source
# expressions of every inline <script> and <style> element, in page order,
# each once. The page is walked from block to block, so a tag name inside
# a script's text is never taken for an element.
function(inline_block_sources scripts_var styles_var page)
  set(scripts "")
  set(styles "")
  set(rest "${page}")
  while(TRUE)
    string(FIND "${rest}" "<script" at_script)
    string(FIND "${rest}" "<style" at_style)
    if(at_script EQUAL -1 AND at_style EQUAL -1)
      break()
    endif()
    if(at_style EQUAL -1 OR (NOT at_script EQUAL -1 AND at_script LESS at_style))
      set(at ${at_script})
      set(name script)
    else()
      set(at ${at_style})
      set(name style)
    endif()
    string(SUBSTRING "${rest}" ${at} -1 rest)
    cut_at(open_tag rest ">" "page: a <${name}> tag is not closed")
    if(name STREQUAL "script" AND open_tag MATCHES "[ \n]src=")
      message(FATAL_ERROR "page: '${open_tag}>' loads a script file, which the page's policy "
                          "blocks; inline it as embed.cmake does with the others")
    endif()
    cut_at(content rest "</${name}>" "page: a <${name}> element has no </${name}>")
    csp_source_of(source "${content}")
    list(APPEND ${name}s "${source}")
  endwhile()
  list(REMOVE_DUPLICATES scripts)
  list(REMOVE_DUPLICATES styles)
  set(${scripts_var} "${scripts}" PARENT_SCOPE)
  set(${styles_var} "${styles}" PARENT_SCOPE)
endfunction()

function(page_policy var page)
  inline_block_sources(scripts styles "${page}")
  list(JOIN scripts " " script_src)
  list(JOIN styles " " style_src)
  # default-src 'none': what is not named below may not load at all.
  #   No image loads: the QR code is drawn on a canvas.
  # connect-src 'self': the console's calls go to the plugin's own address.
  # frame-ancestors 'self': only the node's own pages may frame the console.
  # base-uri 'none', form-action 'self': no injected <base> or <form> can
  #   send the page's requests or the operator's input elsewhere.
  set(policy "default-src 'none'")
  if(script_src)
    string(APPEND policy "; script-src ${script_src}")
  endif()
  if(style_src)
    string(APPEND policy "; style-src ${style_src}")
  endif()
  string(APPEND policy "; connect-src 'self'; frame-ancestors 'self'; base-uri 'none'; form-action 'self'")
  set(${var} "${policy}" PARENT_SCOPE)
endfunction()
