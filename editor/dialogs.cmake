# The editor's dialogs: Keypad Properties, the About box and the start-up question.
if(QUILL_GUI)
  add_library(editor_dialogs STATIC
    ${CMAKE_CURRENT_LIST_DIR}/Params.cpp
    ${CMAKE_CURRENT_LIST_DIR}/About.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Startup.cpp)
  target_include_directories(editor_dialogs PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(editor_dialogs PUBLIC keypad platform_core platform_qt Qt6::Widgets)
endif()
