# Writes index.html with its style and scripts inside it, so that opening
# the page takes two requests: the page and the module it compiles.
file(READ ${SOURCE}/page.css PAGE_CSS)
file(READ ${SOURCE}/page.js PAGE_SCRIPT)
file(READ ${SITE}/bemvara.js MODULE_SCRIPT)
configure_file(${SOURCE}/index.html.in ${SITE}/index.html @ONLY)
