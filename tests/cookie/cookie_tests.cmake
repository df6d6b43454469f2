# Cookies: time conversions and the cookie objects on both engines, the WebKitGTK jar for real.
if(WIN32)
  bw_add_test(cookie_tests cookie/cookie_common_tests.cpp cookie/cookie_webview2_tests.cpp cookie/cookie_header_check.c)
else()
  bw_add_test(cookie_tests cookie/cookie_common_tests.cpp cookie/cookie_webkitgtk_tests.cpp cookie/cookie_header_check.c)
endif()
