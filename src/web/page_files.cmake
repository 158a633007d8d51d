# The files the console page is made of, read from page.html itself, which
# names each of its style sheets and scripts once, in the order the page
# uses them:
#   <link rel="stylesheet" href="NAME">     a style sheet in src/web/
#   <script src="NAME"></script>            a script in src/web/
# The build inlines each one at its tag (embed.cmake), the policy hashes
# what comes out (csp.cmake), and the end-to-end page test and the node
# tests read the same tags. Included by web.cmake and embed.cmake; defines
# functions only.

# The regular expression of one include tag.
set(PAGE_INCLUDE_TAG "<link rel=\"stylesheet\" href=\"[^\"]+\">|<script src=\"[^\"]+\"></script>")

# page_include_tags(<var> <page text>): the include tags, in page order.
function(page_include_tags var page)
  string(REGEX MATCHALL "${PAGE_INCLUDE_TAG}" tags "${page}")
  set(${var} "${tags}" PARENT_SCOPE)
endfunction()

# page_include_name(<var> <tag>): the file name a tag names.
function(page_include_name var tag)
  string(REGEX REPLACE "^.*(href|src)=\"([^\"]+)\".*$" "\\2" name "${tag}")
  set(${var} "${name}" PARENT_SCOPE)
endfunction()

# page_files(<var> <page.html path>): the full paths of the files it names.
function(page_files var page_file)
  file(READ "${page_file}" page)
  page_include_tags(tags "${page}")
  get_filename_component(dir "${page_file}" DIRECTORY)
  set(files "")
  foreach(tag IN LISTS tags)
    page_include_name(name "${tag}")
    list(APPEND files "${dir}/${name}")
  endforeach()
  set(${var} "${files}" PARENT_SCOPE)
endfunction()
