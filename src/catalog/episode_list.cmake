# DangJ and the episode list page template it fills (Qt resource ":/catalog/").
add_library(vantoli_episode_list STATIC
  ${CMAKE_CURRENT_LIST_DIR}/episode_list.cpp
  ${PROJECT_SOURCE_DIR}/resources/catalog.qrc
)
target_include_directories(vantoli_episode_list PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(vantoli_episode_list PUBLIC vantoli_catalog_links vantoli_app vantoli_platform Qt6::Core)
