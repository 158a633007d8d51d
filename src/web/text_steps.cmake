# Two text steps that the page build shares (embed.cmake, csp.cmake):
# cutting a text at a closing mark, and putting back the pieces that a
# pass set aside under numbered markers. Included by both; defines
# functions only.

# cut_at(<before var> <rest var> <closer> <message>): the text of <rest
# var> up to its first <closer> goes to <before var>, and <rest var> keeps
# what follows the closer. The build fails with <message> when there is no
# closer.
function(cut_at before_var rest_var closer message)
  set(whole "${${rest_var}}")
  string(FIND "${whole}" "${closer}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${message}")
  endif()
  string(SUBSTRING "${whole}" 0 ${at} before)
  string(LENGTH "${closer}" closer_len)
  math(EXPR after "${at} + ${closer_len}")
  string(SUBSTRING "${whole}" ${after} -1 whole)
  set(${before_var} "${before}" PARENT_SCOPE)
  set(${rest_var} "${whole}" PARENT_SCOPE)
endfunction()

# put_back(<var> <mark> <prefix> <count>): each marker <mark>N<mark> in the
# text <var>, N from 0 to <count> - 1, replaced by the piece the caller set
# aside under it, its variable <prefix>_N.
function(put_back var mark prefix count)
  set(text "${${var}}")
  set(i 0)
  while(i LESS count)
    string(REPLACE "${mark}${i}${mark}" "${${prefix}_${i}}" text "${text}")
    math(EXPR i "${i} + 1")
  endwhile()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
