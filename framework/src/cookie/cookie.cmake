# Cookies: Cookie, CookieJar and CookieIterator over the lower layer's records.
target_sources(bw_framework PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/completion.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cookie.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cookie_iterator.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cookie_jar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cookie_storage_error.cpp
)
