# web_page.cmake -- makes the site around the program's files: each of them gzipped beside it, the page
# (index.html) and its script with the sizes and SHA-256 hashes of the files written in (plain and gzipped), so
# that its progress bar counts the bytes received against what the program is however a server sends it, and the
# page and the worker keep only this build's files; the app's manifest with the project's version, its icons, and
# the service worker. The build's name, written into the page and the worker, is a hash of everything the site
# holds: a new build makes a new worker, which replaces the old offline cache.
# usage: cmake -DSOURCE=platform/web -DPACKAGING=packaging -DSITE=folder -DVERSION=x.y -P web_page.cmake
set(files "")
set(contents ${VERSION})
foreach(name olvo-gl.js olvo-gl.wasm olvo-gl.data)
  file(REMOVE ${SITE}/${name}.gz)
  file(ARCHIVE_CREATE OUTPUT ${SITE}/${name}.gz PATHS ${SITE}/${name} FORMAT raw COMPRESSION GZip
       COMPRESSION_LEVEL 9)
  file(SIZE ${SITE}/${name} size)
  file(SIZE ${SITE}/${name}.gz packed)
  file(SHA256 ${SITE}/${name} hash)
  file(SHA256 ${SITE}/${name}.gz packed_hash)
  string(APPEND files "'${name}': [${size}, ${packed}, '${hash}', '${packed_hash}'], ")
  string(APPEND contents ${hash})
endforeach()
foreach(path ${SOURCE}/web_page.html ${SOURCE}/web_page.js ${SOURCE}/web_worker.js ${SOURCE}/web_file_check.js
        ${PACKAGING}/web/manifest.webmanifest ${PACKAGING}/icons/olvo-gl-192.png ${PACKAGING}/icons/olvo-gl-512.png)
  file(SHA256 ${path} hash)
  string(APPEND contents ${hash})
endforeach()
string(SHA256 build "${contents}")
string(SUBSTRING ${build} 0 16 build)

file(READ ${SOURCE}/web_file_check.js check)
string(REPLACE "/*OLVO_WEB_FILES*/" "${files}" check "${check}")
foreach(pair web_page.html:index.html web_page.js:olvo-gl-page.js web_worker.js:olvo-gl-worker.js)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 from)
  list(GET pair 1 to)
  file(READ ${SOURCE}/${from} text)
  string(REPLACE "/*OLVO_WEB_FILE_CHECK*/" "${check}" text "${text}")
  string(REPLACE "/*OLVO_WEB_BUILD*/" "${build}" text "${text}")
  file(WRITE ${SITE}/${to} "${text}")
endforeach()
file(READ ${PACKAGING}/web/manifest.webmanifest text)
string(CONFIGURE "${text}" text @ONLY)
file(WRITE ${SITE}/manifest.webmanifest "${text}")
file(COPY ${PACKAGING}/icons/olvo-gl-192.png ${PACKAGING}/icons/olvo-gl-512.png DESTINATION ${SITE})
