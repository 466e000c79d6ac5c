# Writes the service worker for the files of the site in SITE: their list,
# and a version made from their contents, so any change to any file gives
# the cache a new name.
set(hashes "")
set(quoted "\"./\"")
foreach(file IN LISTS FILES)
    file(SHA256 ${SITE}/${file} hash)
    string(APPEND hashes ${hash})
    string(APPEND quoted ", \"${file}\"")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING ${version} 0 16 SITE_VERSION)
set(SITE_FILES ${quoted})
configure_file(${TEMPLATE} ${SITE}/service-worker.js @ONLY)
