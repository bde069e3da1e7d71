# orm_document_view: the document with its preview worker, the preview view and the navigator.
# Included by the program's build (app/gui); kept apart from orm_document, which stays free of the
# engine and the settings.
if(TARGET orm_document_view)
  return()
endif()
add_library(orm_document_view STATIC
  ${CMAKE_CURRENT_LIST_DIR}/preview_geometry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_worker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_render.cpp
  ${CMAKE_CURRENT_LIST_DIR}/preview_draw_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/folder_navigation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cormensura_doc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/orven_scroll_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cormensura_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/navigator_wnd.cpp
)
target_include_directories(orm_document_view PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(orm_document_view PUBLIC orm_document orm_settings orm_engine
  Qt6::Core Qt6::Gui Qt6::Widgets Threads::Threads)
