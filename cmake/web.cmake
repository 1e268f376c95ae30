# web.cmake -- the program for the browser (emscripten): a static site of the page, the program's .js and .wasm,
# and the pictures its texture table names, packed beside them. Copying the site folder to any web server publishes it.
set(OLVO_WEB_SITE_DIR "${CMAKE_BINARY_DIR}/site" CACHE PATH "Where the web build writes the site")

set(olvo_web_library ${PROJECT_SOURCE_DIR}/platform/web/web_browser.js)
# The page side's waits: the program is suspended in these until the page answers.
set(olvo_web_waits WebWaitForFrame,WebShowMessageBox,WebRequestFullscreen,WebExitFullscreen)
set(olvo_web_pictures ${OLVO_DATA_FILES})
list(TRANSFORM olvo_web_pictures PREPEND ${PROJECT_SOURCE_DIR}/)
set(olvo_web_preloads ${OLVO_DATA_FILES})
list(TRANSFORM olvo_web_preloads REPLACE "^(.+)$" "SHELL:--preload-file ${PROJECT_SOURCE_DIR}/\\1@/\\1")

add_executable(olvo-gl platform/web/platform_web.cpp platform/web/web_gl.cpp platform/posix/file_map_posix.cpp)
target_link_libraries(olvo-gl PRIVATE olvo_core)
# Debian's em++ runs on the first python3 and node found; these settings (the web preset's environment, which
# configuring needs) make it use Debian's own however the build is started, and leave its cache alone.
set(olvo_em_environment ${CMAKE_COMMAND} -E env EMSDK_PYTHON=/usr/bin/python3 NODE_PATH=/usr/share/nodejs
    EM_FROZEN_CACHE=1)
set_target_properties(olvo_core olvo-gl PROPERTIES CXX_COMPILER_LAUNCHER "${olvo_em_environment}")
set_target_properties(olvo-gl PROPERTIES CXX_LINKER_LAUNCHER "${olvo_em_environment}")
set_target_properties(olvo-gl PROPERTIES
  SUFFIX ".js"
  RUNTIME_OUTPUT_DIRECTORY ${OLVO_WEB_SITE_DIR}
  LINK_DEPENDS "${olvo_web_library};${olvo_web_pictures}")
target_link_options(olvo-gl PRIVATE
  -sLEGACY_GL_EMULATION=1
  -sGL_UNSAFE_OPTS=0            # the emulation's shortcuts go wrong once a context is replaced
  -sENVIRONMENT=web
  -sEXIT_RUNTIME=1
  -sALLOW_MEMORY_GROWTH=1       # a failed allocation returns null (the program says "Out of memory.")
  -sASYNCIFY=1
  "-sASYNCIFY_IMPORTS=[${olvo_web_waits}]"
  -sASYNCIFY_STACK_SIZE=65536
  --js-library ${olvo_web_library}
  ${olvo_web_preloads})

# The site around the program: its files gzipped, the page and its script, the manifest and icons, the worker.
set(olvo_web_page_sources web_page.html web_page.js web_worker.js web_file_check.js)
list(TRANSFORM olvo_web_page_sources PREPEND ${PROJECT_SOURCE_DIR}/platform/web/)
list(APPEND olvo_web_page_sources ${PROJECT_SOURCE_DIR}/packaging/web/manifest.webmanifest)
add_custom_command(OUTPUT ${OLVO_WEB_SITE_DIR}/index.html
  BYPRODUCTS ${OLVO_WEB_SITE_DIR}/olvo-gl-page.js ${OLVO_WEB_SITE_DIR}/olvo-gl-worker.js
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/platform/web -DPACKAGING=${PROJECT_SOURCE_DIR}/packaging
          -DSITE=${OLVO_WEB_SITE_DIR} -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
  DEPENDS ${olvo_web_page_sources} ${PROJECT_SOURCE_DIR}/cmake/web_page.cmake
          ${PROJECT_SOURCE_DIR}/packaging/icons/olvo-gl-192.png ${PROJECT_SOURCE_DIR}/packaging/icons/olvo-gl-512.png
          $<TARGET_FILE:olvo-gl>
  VERBATIM)
add_custom_target(olvo-web-page ALL DEPENDS ${OLVO_WEB_SITE_DIR}/index.html)

# Tests in headless Chromium, with Debian's python3 (python3-websocket drives the browser): the end-to-end
# scenarios shared with the desktop builds, and the browser's frames against the desktop renderer's, which the
# release build makes (the test skips without it).
if(OLVO_BUILD_TESTS)
  enable_testing()
  set(OLVO_WEB_PYTHON /usr/bin/python3 CACHE FILEPATH "Python with python3-websocket, for the browser tests")
  set(OLVO_DESKTOP_FRAMES ${PROJECT_SOURCE_DIR}/build/release/olvo-frames CACHE FILEPATH
      "The desktop renderer's frames tool, for the frame comparison")
  add_test(NAME EndToEnd.WebInHeadlessChromium
           COMMAND ${OLVO_WEB_PYTHON} tests/e2e/driver.py web ${OLVO_WEB_SITE_DIR}
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  add_test(NAME Web.FramesMatchDesktop
           COMMAND ${OLVO_WEB_PYTHON} tests/e2e/web_frames.py ${OLVO_WEB_SITE_DIR} ${OLVO_DESKTOP_FRAMES}
                   ${CMAKE_BINARY_DIR}/frames
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  # The page itself: loading and failed downloads, the key buttons, the wake lock, keys while a box is up.
  add_test(NAME Web.PageAsVisitorsMeetIt
           COMMAND ${OLVO_WEB_PYTHON} tests/e2e/web_page_checks.py ${OLVO_WEB_SITE_DIR} ${CMAKE_BINARY_DIR}/page
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  # Phones, tablets and small windows, touch, the page's own fullscreen, bytes on the wire, offline, deploys; the
  # manifest must carry the project's version.
  add_test(NAME Web.PhonesInstalledOffline
           COMMAND ${OLVO_WEB_PYTHON} tests/e2e/web_phone_checks.py ${OLVO_WEB_SITE_DIR} ${CMAKE_BINARY_DIR}/phone
           WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(Web.PhonesInstalledOffline PROPERTIES ENVIRONMENT OLVO_VERSION=${PROJECT_VERSION})
  set_tests_properties(EndToEnd.WebInHeadlessChromium Web.FramesMatchDesktop Web.PageAsVisitorsMeetIt
                       Web.PhonesInstalledOffline PROPERTIES
                       TIMEOUT 600 LABELS e2e RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endif()
