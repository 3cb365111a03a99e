# The help pages. Each page's own text is pages/NAME.html (what stands inside
# <main>); the head, the banner and the navigation bar every page shares are
# written here, from one list.
#
# Included, it defines TESSARO_HELP_PAGES. Run as a script,
#   cmake -DNAME=index -DSOURCE=pages/index.html -DOUTPUT=help/index.html -P HelpPages.cmake
# it writes the page NAME.

# The pages in the order of the navigation bar: file name, the bar's label and
# the page's title.
set(TESSARO_HELP_PAGES
    "index|概览|软件帮助说明"
    "templates|导入模板|导入模板"
    "photos|导入照片与放置|导入照片与放置"
    "sets|套系|套系"
    "compose|预览与自动套版|预览与自动套版"
    "settings|设置与快捷键|设置与快捷键")

if(NOT CMAKE_SCRIPT_MODE_FILE OR NOT DEFINED NAME)
  return()
endif()

set(_nav "")
set(_title "")
foreach(_page ${TESSARO_HELP_PAGES})
  string(REPLACE "|" ";" _fields "${_page}")
  list(GET _fields 0 _file)
  list(GET _fields 1 _label)
  string(APPEND _nav "<a href=\"${_file}.html\">${_label}</a>")
  if(_file STREQUAL NAME)
    list(GET _fields 2 _title)
  endif()
endforeach()
if(_title STREQUAL "")
  message(FATAL_ERROR "help page ${NAME} is not in TESSARO_HELP_PAGES")
endif()

file(READ ${SOURCE} _body)
file(WRITE ${OUTPUT}.tmp
     "<!DOCTYPE html>\n"
     "<html lang=\"zh-CN\">\n"
     "<head><meta charset=\"utf-8\"><title>${_title} - Tessaro 帮助</title>"
     "<link rel=\"stylesheet\" href=\"help.css\"></head>\n"
     "<body>\n"
     "<header><h1>Tessaro 影楼相册合成系统</h1><p>${_title}</p></header>\n"
     "<nav>${_nav}</nav>\n"
     "<main>\n"
     "${_body}"
     "</main>\n"
     "</body>\n"
     "</html>\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
