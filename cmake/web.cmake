# The web export's page: the command sets compiled to WebAssembly by the
# emscripten project in web/ (built here as an external project, since it
# needs its own toolchain), assembled with the page, the bridge script and
# the movie engine into PLAYER_WEB_SITE_DIR, which magpack web copies.
include(ExternalProject)
find_program(EMCMAKE emcmake REQUIRED)
find_program(NODE node REQUIRED)

set(PLAYER_WEB_SITE_DIR ${PROJECT_BINARY_DIR}/web)
set(web_build ${PROJECT_BINARY_DIR}/web-build)
# Debian's emscripten finds its JavaScript helpers (acorn) in Debian's Node.js
# folder, which another Node.js does not search.
set(em_env ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)
ExternalProject_Add(player_web_core
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/web
    BINARY_DIR ${web_build}
    CONFIGURE_COMMAND ${em_env} ${EMCMAKE} ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR>
                      -G ${CMAKE_GENERATOR} -DCMAKE_BUILD_TYPE=Release
    BUILD_COMMAND ${em_env} ${CMAKE_COMMAND} --build <BINARY_DIR>
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)

set(web_page ${PROJECT_SOURCE_DIR}/web/site)
set(ruffle_dir ${PROJECT_SOURCE_DIR}/node_modules/@ruffle-rs/ruffle)
file(GLOB web_ruffle_files ${ruffle_dir}/*.js ${ruffle_dir}/*.wasm)
add_custom_target(web_site ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PLAYER_WEB_SITE_DIR}/ruffle
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
            ${web_page}/index.html ${web_page}/frame.html ${web_page}/frame.js ${web_page}/site.css
            ${web_page}/site.js ${web_page}/catalogue.js ${web_page}/catalogue.css
            ${PROJECT_SOURCE_DIR}/src/res/web/bridge.js ${PROJECT_SOURCE_DIR}/src/res/title.bmp
            ${web_build}/player-core.js ${web_build}/player-core.wasm
            ${PLAYER_WEB_SITE_DIR}/
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${web_ruffle_files} ${PLAYER_WEB_SITE_DIR}/ruffle/
    COMMENT "Assembling the web export's page in ${PLAYER_WEB_SITE_DIR}"
    VERBATIM)
add_dependencies(web_site player_web_core)
install(DIRECTORY ${PLAYER_WEB_SITE_DIR}/ DESTINATION share/magazine-player/web)
