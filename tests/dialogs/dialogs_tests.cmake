# Message and file dialogs: request building on both platforms, and real dialogs found and answered
# from outside the call that shows them.
if(WIN32)
  bw_add_test(dialogs_tests dialogs/request_tests.cpp dialogs/win32/message_box_tests.cpp dialogs/win32/file_dialog_tests.cpp)
else()
  bw_add_test(dialogs_tests OWN_DISPLAY dialogs/request_tests.cpp dialogs/gtk/message_dialog_tests.cpp dialogs/gtk/file_chooser_tests.cpp)
endif()
target_link_libraries(dialogs_tests PRIVATE tarnwick_dialogs)
target_include_directories(dialogs_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/dialogs)
