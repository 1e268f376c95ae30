# web_page.cmake -- writes the site's index.html: the page, with the sizes of the built files it downloads written
# in, so that its progress bar counts the bytes received against what the program is, however a server sends it.
# usage: cmake -DPAGE=platform/web/web_page.html -DSITE=folder -P web_page.cmake
set(sizes "")
foreach(name olvo-gl.js olvo-gl.wasm olvo-gl.data)
  file(SIZE ${SITE}/${name} size)
  string(APPEND sizes "'${name}': ${size}, ")
endforeach()
file(READ ${PAGE} page)
string(REPLACE "/*OLVO_WEB_SIZES*/" "${sizes}" page "${page}")
file(WRITE ${SITE}/index.html "${page}")
